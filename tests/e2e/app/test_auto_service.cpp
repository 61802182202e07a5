// The service mode of the command line: the built program run headless with
// --auto in a settings folder of its own, whose COM1 leads to the simulated
// logger program recording in real time (or to nothing).
#include "auto_rig.h"
#include "built_programs.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kFirst = "2026-11-30T23:50:00";

// The simulated logger as started below: RH on both channels, 240 an hour.
bvsim::LoggerConfig simulatorConfig() {
    bvsim::LoggerConfig config = loggerConfig(2, true, 0);
    for (bvsim::ChannelData& ch : config.channels)
        ch.first = platform::fromQDateTime(QDateTime::fromString(kFirst, Qt::ISODate));
    return config;
}

} // namespace

class TestAutoService : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;

    QString path(const QString& name) const { return folder->path(name); }

    bool startSimulator(const QStringList& arguments) {
        return folder->startSimulator(
            QStringList{"--format", "2", "--rh", "1,2", "--first", kFirst} + arguments);
    }

    ProgramRun run(const QStringList& arguments) {
        return folder->run(QStringList{"--headless"} + arguments);
    }

    // The monthly files of both channels hold the logger's samples from the
    // first on, each once, and every duplicate loads back; the rows checked.
    qsizetype checkFiles() {
        AppFixture app;
        TForm1& loader = app.start();
        qsizetype rows = 0;
        for (int channel : {1, 2}) {
            const MonthlyCheck check =
                checkMonthlyFiles(loader, path("plant.csv"), channel, simulatorConfig());
            if (!check.error.isEmpty())
                qWarning("%s", qPrintable(check.error));
            rows += check.error.isEmpty() ? check.rows : -1000000;
        }
        return rows;
    }

  private slots:
    void initTestCase() {
        const QString missing = missingPrograms();
        QVERIFY2(missing.isEmpty(), qPrintable(missing + " missing: build the programs first"));
    }
    void init() {
        folder = std::make_unique<ProgramFolder>();
        QFile settings(path("COMPORT.DAT"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("COM1:19200\r\n");
    }
    void cleanup() { folder.reset(); }

    // From cron: each call appends exactly what the logger recorded since
    // the newest saved row, across the month's end.
    void onceTwiceAppendsTheNewSamples() {
        QVERIFY(startSimulator({"--count", "100", "--record", "--speed", "30"}));
        const ProgramRun first = run({"--auto", "once", "--auto-file", path("plant.csv")});
        QVERIFY2(first.exitCode == 0, qPrintable(first.err));
        QVERIFY(first.err.contains("File saved. Starting new file..."));
        const qsizetype before = checkFiles();
        QVERIFY(before >= 2 * 99);
        QTest::qWait(3000);
        const ProgramRun second = run({"--auto", "once", "--auto-file", path("plant.csv")});
        QVERIFY2(second.exitCode == 0, qPrintable(second.err));
        QVERIFY(lastLine(second) == "File saved.");
        const qsizetype after = checkFiles();
        QVERIFY2(after > before + 2 * 10, qPrintable(QString("%1 -> %2").arg(before).arg(after)));
        QVERIFY(QFile::exists(path("T1202612plant_0.bxv"))); // the second call is a new run
    }

    void exitCodes_data() {
        QTest::addColumn<bool>("logger");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QStringList>("more");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("last");
        QTest::newRow("no logger")
            << false << "plant.csv" << QStringList() << 1 << "Cannot open serial port: ";
        QTest::newRow("a folder that does not exist")
            << true << "missing/plant.csv" << QStringList() << 1
            << "Automatic download of channel 2 failed: Cannot save file. Check name or folder "
               "rights.";
        QTest::newRow("channel 1 only")
            << true << "plant.csv" << QStringList{"--auto-channels", "1"} << 0 << "File saved.";
    }
    void exitCodes() {
        QFETCH(bool, logger);
        QFETCH(QString, base);
        QFETCH(QStringList, more);
        QFETCH(int, exitCode);
        QFETCH(QString, last);
        if (logger)
            QVERIFY(startSimulator({"--count", "50"}));
        const ProgramRun r = run(QStringList{"--auto", "once", "--auto-file", path(base)} + more);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(lastLine(r).startsWith(last), qPrintable(r.err));
    }

    // Nothing recorded since the last call: the files stay, and that is no failure.
    void nothingNewIsNoFailure() {
        QVERIFY(startSimulator({"--count", "50"}));
        QCOMPARE(run({"--auto", "once", "--auto-file", path("plant.csv")}).exitCode, 0);
        QFile plain(path("T1202611plant.csv"));
        QVERIFY(plain.open(QIODevice::ReadOnly));
        const QByteArray before = plain.readAll();
        const ProgramRun r = run({"--auto", "once", "--auto-file", path("plant.csv")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.err.count("NO NEW DATA SINCE THE LAST DOWNLOAD."), 2);
        plain.seek(0);
        QCOMPARE(plain.readAll(), before);
    }

    // The interval form runs until SIGTERM, then closes the port and the
    // files and exits 0.
    void sigtermEndsTheIntervalForm() {
        QVERIFY(startSimulator({"--count", "100", "--record", "--speed", "30"}));
        QProcess program;
        program.setWorkingDirectory(folder->dir.path());
        program.start(builtProgram("brenvale"),
                      {"--headless", "--auto", "1h", "--auto-file", path("plant.csv")});
        QString err;
        QVERIFY(QTest::qWaitFor(
            [&] {
                err += QString::fromLocal8Bit(program.readAllStandardError());
                return err.count("File saved.\n") >= 2;
            },
            60000));
        program.terminate();
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(checkFiles() >= 2 * 99);
    }
};

QTEST_MAIN(TestAutoService)
#include "test_auto_service.moc"
