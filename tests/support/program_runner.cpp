#include "program_runner.h"
#include <QDir>
#include <QFile>

QString builtProgram(const QString& name) {
    return qEnvironmentVariable("BRENVALE_BINARY_DIR") + "/" + name;
}

ProgramRun runBrenvale(const QString& folder, const QStringList& arguments) {
    QProcess program;
    program.setWorkingDirectory(folder);
    program.start(builtProgram("brenvale"), arguments);
    ProgramRun r;
    if (!program.waitForFinished(120000)) {
        stopProgram(program);
        return r;
    }
    r.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    r.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(program.readAllStandardError());
    return r;
}

bool startSimulatorProgram(QProcess& simulator, const QString& folder,
                           const QStringList& arguments) {
    simulator.start(builtProgram("bvsim"),
                    QStringList{"--link", QDir(folder).filePath("COM1")} + arguments);
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
