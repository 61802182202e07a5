#pragma once
// The built programs run as a user would run them: brenvale headless in a
// settings folder of its own, the simulated logger program behind its COM1.
#include "process_run.h"
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Path of a program of the build.
QString builtProgram(const QString& name);

// The last line a run printed to stderr.
QString lastLine(const ProgramRun& run);
// Runs brenvale in `folder` until it ends (at most two minutes); `locale`:
// the user's locale (LC_ALL) it runs under, the system's when empty.
ProgramRun runBrenvale(const QString& folder, const QStringList& arguments,
                       const QString& locale = QString());

// Starts bvsim behind <folder>/<port> and waits until it serves.
bool startSimulatorProgram(QProcess& simulator, const QString& folder, const QStringList& arguments,
                           const QString& port = "COM1");
// Ends a program started by a test, SIGTERM first.
void stopProgram(QProcess& program);

// What of brenvale and bvsim is not built; empty when both are.
QString missingPrograms();

// A settings folder of its own for one test. Its COM1 leads nowhere until the
// simulated logger is started behind it; the logger ends with the folder.
class ProgramFolder {
  public:
    ProgramFolder();
    ~ProgramFolder();
    QString path(const QString& name) const { return dir.filePath(name); }
    bool startSimulator(const QStringList& arguments, const QString& port = "COM1") {
        return startSimulatorProgram(simulator, dir.path(), arguments, port);
    }
    ProgramRun run(const QStringList& arguments, const QString& locale = QString()) const {
        return runBrenvale(dir.path(), arguments, locale);
    }

    QTemporaryDir dir;
    QProcess simulator;
};
