#include "process_run.h"
#include <QProcess>

ProgramRun runProgram(const QString& program, const QStringList& arguments, const QString& folder,
                      const QProcessEnvironment& environment, int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    ProgramRun r;
    r.started = process.waitForStarted();
    if (!r.started)
        return r;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}
