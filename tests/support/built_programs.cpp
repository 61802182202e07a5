#include "built_programs.h"
#include <QDir>
#include <QFile>

QString builtProgram(const QString& name) {
    return qEnvironmentVariable("BRENVALE_BINARY_DIR") + "/" + name;
}

QString lastLine(const ProgramRun& run) {
    return run.err.trimmed().split('\n').last();
}

ProgramRun runBrenvale(const QString& folder, const QStringList& arguments, const QString& locale) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!locale.isEmpty())
        environment.insert("LC_ALL", locale);
    return runProgram(builtProgram("brenvale"), arguments, folder, environment);
}

bool startSimulatorProgram(QProcess& simulator, const QString& folder, const QStringList& arguments,
                           const QString& port) {
    simulator.start(builtProgram("bvsim"),
                    QStringList{"--link", QDir(folder).filePath(port)} + arguments);
    return simulator.waitForStarted() && simulator.waitForReadyRead(10000) &&
           simulator.readLine().startsWith("/dev/");
}

void stopProgram(QProcess& program) {
    if (program.state() == QProcess::NotRunning)
        return;
    program.terminate();
    if (!program.waitForFinished(5000)) {
        program.kill();
        program.waitForFinished();
    }
}

QString missingPrograms() {
    QStringList missing;
    for (const char* name : {"brenvale", "bvsim"})
        if (!QFile::exists(builtProgram(name)))
            missing << builtProgram(name);
    return missing.join(", ");
}

ProgramFolder::ProgramFolder() {
    QFile::link(path("no-such-device"), path("COM1"));
}

ProgramFolder::~ProgramFolder() {
    stopProgram(simulator);
}
