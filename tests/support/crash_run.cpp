#include "crash_run.h"
#include "app_fixture.h"
#include "built_programs.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bvsim::LoggerConfig loggerOf(const CrashSave& save) {
    bvsim::LoggerConfig config = loggerConfig(2, true, save.samples);
    for (bvsim::ChannelData& ch : config.channels)
        ch.first = platform::fromQDateTime(QDateTime::fromString(save.first, Qt::ISODate));
    return config;
}

// A settings folder whose COM1 leads to the simulated logger holding the save's samples.
struct SaveFolder {
    explicit SaveFolder(const CrashSave& save) : save(save) {
        QFile settings(folder.path("COMPORT.DAT"));
        started = settings.open(QIODevice::WriteOnly) && settings.write("COM1:19200\r\n") > 0;
        settings.close();
        started =
            started && folder.startSimulator({"--format", "2", "--rh", "1,2", "--first", save.first,
                                              "--count", QString::number(save.samples)});
    }
    // One automatic download; `crash`: the variables of the crash library.
    ProgramRun run(const QProcessEnvironment& crash = QProcessEnvironment()) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(crash);
        return runProgram(builtProgram("brenvale"),
                          {"--headless", "--auto", "once", "--auto-file", folder.path("plant.csv"),
                           "--auto-channels", save.channels == 1 ? "1" : "1,2"},
                          folder.dir.path(), environment);
    }
    QProcessEnvironment crashLibrary(const QString& variable, const QString& value) const {
        return ::crashLibrary(folder.dir.path(), variable, value);
    }

    CrashSave save;
    ProgramFolder folder;
    bool started = false;
};

} // namespace

QProcessEnvironment crashLibrary(const QString& folder, const QString& variable,
                                 const QString& value) {
    QProcessEnvironment environment;
    environment.insert("LD_PRELOAD", builtProgram("libcrash_at_call.so"));
    environment.insert("BRENVALE_CRASH_DIR", QDir(folder).canonicalPath());
    environment.insert(variable, value);
    return environment;
}

int countFileCalls(const CrashSave& save) {
    const SaveFolder f(save);
    const QString outside =
        QDir::temp().filePath(QFileInfo(f.folder.dir.path()).fileName() + ".calls");
    if (!f.started || f.run(f.crashLibrary("BRENVALE_CRASH_COUNT", outside)).exitCode != 0)
        return -1;
    QFile file(outside);
    const int count = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : -1;
    file.remove();
    return count;
}

CrashOutcome crashThenRecover(const CrashSave& save, int k) {
    CrashOutcome outcome;
    const SaveFolder f(save);
    if (!f.started)
        return {.error = "the simulated logger did not start"};
    const ProgramRun crashed = f.run(f.crashLibrary("BRENVALE_CRASH_AT", QString::number(k)));
    outcome.killed = crashed.started && crashed.exitCode == -1;
    const ProgramRun next = f.run();
    if (next.exitCode != 0)
        return {.error = "the run after the crash failed: " + lastLine(next)};
    AppFixture app;
    TForm1& loader = app.start();
    for (int channel = 1; channel <= save.channels; ++channel) {
        const MonthlyCheck check =
            checkMonthlyFiles(loader, f.folder.path("plant.csv"), channel, loggerOf(save));
        if (!check.error.isEmpty())
            return {.error = check.error, .killed = outcome.killed};
        if (check.rows != save.samples)
            return {.error = QString("channel %1: %2 rows of %3 samples")
                                 .arg(channel)
                                 .arg(check.rows)
                                 .arg(save.samples),
                    .killed = outcome.killed};
        outcome.rows += check.rows;
    }
    return outcome;
}
