// The command line: the argument parser in-process, and the built program run
// headless in a settings folder of its own whose COM1 leads to the simulated
// logger program (or to nothing).
#include "app/command_line.h"
#include "app/version.h"
#include "built_programs.h"
#include "upload_rig.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What a parse produced, in one line, or "bad" for arguments it refused.
QString describe(const std::variant<app::Options, app::BadArguments>& parsed) {
    const auto* o = std::get_if<app::Options>(&parsed);
    if (!o)
        return "bad";
    QStringList words;
    if (o->help)
        words << "help";
    if (o->version)
        words << "version";
    if (o->headless)
        words << "headless";
    if (o->upload)
        words << "upload";
    if (o->channel)
        words << QString("channel=%1").arg(*o->channel);
    if (o->rangeIndex)
        words << QString("range=%1").arg(*o->rangeIndex);
    if (!o->from.isEmpty())
        words << "from=" + o->from << "to=" + o->to;
    if (o->dateFormat)
        words << "date-format=" + *o->dateFormat;
    if (!o->startupFile.isEmpty())
        words << "file=" + o->startupFile;
    for (const auto& [name, value] : {std::pair{"load", o->load}, std::pair{"save", o->save},
                                      std::pair{"chart", o->chart}, std::pair{"report", o->report}})
        if (!value.isEmpty())
            words << QString(name) + "=" + value;
    if (!o->autoInterval.isEmpty())
        words << "auto=" + o->autoInterval << "auto-file=" + o->autoFile
              << "auto-channels=" + o->autoChannels;
    return words.join(' ');
}

using Run = ProgramRun;

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;

    QString path(const QString& name) const { return folder->path(name); }

    // Starts the simulated logger behind <folder>/<port> and waits until it serves.
    bool startSimulator(const QStringList& arguments, const QString& port = "COM1") {
        return folder->startSimulator(QStringList{"--log", path("sim.log")} + arguments, port);
    }

    // `locale`: the user's locale (LC_ALL) the program runs under.
    ProgramRun run(const QStringList& arguments, const QString& locale = QString()) {
        return folder->run(arguments, locale);
    }

    QByteArray simulatorLog() const {
        QFile log(path("sim.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

  private slots:
    void initTestCase() {
        const QString missing = missingPrograms();
        QVERIFY2(missing.isEmpty(), qPrintable(missing + " missing: build the programs first"));
    }
    void init() { folder = std::make_unique<ProgramFolder>(); }
    void cleanup() { folder.reset(); }

    void parse_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("nothing") << QStringList{} << "";
        QTest::newRow("file to open") << QStringList{"a.bvx"} << "file=a.bvx";
        QTest::newRow("two files: the first is opened")
            << QStringList{"a.bvx", "b.bvx"} << "file=a.bvx";
        QTest::newRow("help") << QStringList{"--help"} << "help";
        QTest::newRow("-h") << QStringList{"-h"} << "help";
        QTest::newRow("version") << QStringList{"--version"} << "version";
        QTest::newRow("headless upload")
            << QStringList{"--headless", "--upload"} << "headless upload";
        QTest::newRow("upload without --headless") << QStringList{"--upload"} << "bad";
        QTest::newRow("channel 2")
            << QStringList{"--headless", "--channel", "2"} << "headless channel=2";
        QTest::newRow("channel 3") << QStringList{"--headless", "--channel", "3"} << "bad";
        QTest::newRow("channel without value") << QStringList{"--headless", "--channel"} << "bad";
        QTest::newRow("last week")
            << QStringList{"--headless", "--range", "last-week"} << "headless range=2";
        QTest::newRow("unknown range") << QStringList{"--headless", "--range", "year"} << "bad";
        QTest::newRow("custom with from and to")
            << QStringList{"--headless",
                           "--range",
                           "custom",
                           "--from",
                           "12/01/2026 08:00:00",
                           "--to",
                           "12/02/2026 08:00:00"}
            << "headless range=3 from=12/01/2026 08:00:00 to=12/02/2026 08:00:00";
        QTest::newRow("custom without from and to")
            << QStringList{"--headless", "--range", "custom"} << "bad";
        QTest::newRow("custom without to")
            << QStringList{"--headless", "--range", "custom", "--from", "12/01/2026 08:00:00"}
            << "bad";
        QTest::newRow("from without custom")
            << QStringList{"--headless", "--from", "12/01/2026 08:00:00", "--to",
                           "12/02/2026 08:00:00"}
            << "bad";
        QTest::newRow("from as a date only") << QStringList{"--headless",
                                                            "--range",
                                                            "custom",
                                                            "--from",
                                                            "2026-01-01",
                                                            "--to",
                                                            "12/02/2026 08:00:00"}
                                             << "bad";
        QTest::newRow("from on 31 February") << QStringList{"--headless",
                                                            "--range",
                                                            "custom",
                                                            "--from",
                                                            "02/31/2026 08:00:00",
                                                            "--to",
                                                            "12/02/2026 08:00:00"}
                                             << "bad";
        QTest::newRow("date format")
            << QStringList{"--headless", "--date-format", "dd/mm/yyyy hh:mm:ss"}
            << "headless date-format=dd/mm/yyyy hh:mm:ss";
        QTest::newRow("unknown date format")
            << QStringList{"--headless", "--date-format", "yy.mm.dd"} << "bad";
        QTest::newRow("steps") << QStringList{"--headless", "--load",  "in.bvx", "--save",
                                              "out.csv",    "--chart", "c.pdf"}
                               << "headless load=in.bvx save=out.csv chart=c.pdf";
        QTest::newRow("chart neither png nor pdf")
            << QStringList{"--headless", "--chart", "c.jpg"} << "bad";
        QTest::newRow("report") << QStringList{"--headless", "--load", "in.bvx", "--report",
                                               "r.PDF"}
                                << "headless load=in.bvx report=r.PDF";
        QTest::newRow("report not pdf") << QStringList{"--headless", "--report", "r.png"} << "bad";
        QTest::newRow("file with --headless") << QStringList{"--headless", "a.bvx"} << "bad";
        QTest::newRow("unknown option") << QStringList{"--headless", "--fast"} << "bad";
        QTest::newRow("auto once")
            << QStringList{"--headless", "--auto", "once", "--auto-file", "plant.csv"}
            << "headless auto=once auto-file=plant.csv auto-channels=both";
        QTest::newRow("auto every 4 hours, channel 2")
            << QStringList{"--headless", "--auto",          "4h", "--auto-file",
                           "plant",      "--auto-channels", "2"}
            << "headless auto=4h auto-file=plant auto-channels=2";
        QTest::newRow("auto without a file") << QStringList{"--headless", "--auto", "1h"} << "bad";
        QTest::newRow("auto file without auto")
            << QStringList{"--headless", "--auto-file", "plant.csv"} << "bad";
        QTest::newRow("auto every 2 hours")
            << QStringList{"--headless", "--auto", "2h", "--auto-file", "p.csv"} << "bad";
        QTest::newRow("auto channels 3")
            << QStringList{"--headless", "--auto",          "1h", "--auto-file",
                           "p.csv",      "--auto-channels", "3"}
            << "bad";
        QTest::newRow("auto with an upload")
            << QStringList{"--headless", "--auto", "once", "--auto-file", "p.csv", "--upload"}
            << "bad";
        QTest::newRow("auto without --headless")
            << QStringList{"--auto", "once", "--auto-file", "p.csv"} << "bad";
    }
    void parse() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, parsed);
        QCOMPARE(describe(app::parse(arguments)), parsed);
    }

    void uploadAndChart() {
        QVERIFY(startSimulator({"--format", "2", "--rh", "1", "--count", "300"}));
        const ProgramRun r = run({"--headless", "--upload", "--chart", "out.png"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains("DATA LOADED"), qPrintable(r.err));
        QVERIFY(r.err.contains("Chart written to out.png"));
        QVERIFY(QFileInfo(path("out.png")).size() > 0);
        QCOMPARE(simulatorLog(), QByteArray("?B057600T05001120126000000000300BD00000000"));
    }

    // The report of data just saved names their duplicate and its SHA-256.
    void uploadSaveAndReport() {
        QVERIFY(startSimulator({"--format", "2", "--rh", "1", "--count", "300"}));
        const ProgramRun r =
            run({"--headless", "--upload", "--save", "out.csv", "--report", "out.pdf"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.err.contains("Report written to out.pdf"));
        QFile duplicate(path("out.bvx"));
        QVERIFY(duplicate.open(QIODevice::ReadOnly));
        const QByteArray sha =
            QCryptographicHash::hash(duplicate.readAll(), QCryptographicHash::Sha256).toHex();
        QProcess text;
        text.start("pdftotext", {path("out.pdf"), "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString report = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(report.contains("Source: Upload, Channel 1"), qPrintable(report));
        QVERIFY(report.contains("Duplicate: out.bvx"));
        QVERIFY2(report.contains("SHA-256: " + QString::fromLatin1(sha)), qPrintable(report));

        const ProgramRun unwritable = run({"--headless", "--report", "no/such/folder/r.pdf"});
        QCOMPARE(unwritable.exitCode, 1);
        QVERIFY(unwritable.err.contains("Cannot write the report to no/such/folder/r.pdf"));
    }

    // Upload, save, and the duplicate loaded back: the logger's samples and
    // events, whole.
    void uploadSaveAndLoadBack() {
        QVERIFY(startSimulator({"--format", "2", "--rh", "1", "--count", "300", "--no-reading",
                                "40", "--events", "10:fffe,20:fff8,20:fffb,30:fff9"}));
        const ProgramRun r =
            run({"--headless", "--upload", "--save", "out.csv", "--user-name", "Ann"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(QFile::exists(path("out.bvx")));

        bvsim::LoggerConfig config = loggerConfig(2, true, 300);
        for (bvsim::ChannelData& ch : config.channels) {
            ch.noReading = {40};
            ch.events = {{10, 0xfffe}, {20, 0xfff8}, {20, 0xfffb}, {30, 0xfff9}};
        }
        // A data file marks its first row as a new sensor: the loaded store
        // has that one new-sensor event more than the logger sent.
        config.channels[0].events.insert(config.channels[0].events.begin(), {0, 0xfff8});
        AppFixture app;
        TForm1& form = app.start();
        form.LoadDataFile(path("out.bvx"));
        QCOMPARE(form.Edit1.text(), "File loaded.");
        QVERIFY(form.FileEncryptFlag.checked());
        QCOMPARE(form.store.UserName, "Ann");
        const QString difference = storeDifference(form.store, config, 0, 0, 300);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // Channel 2 of an older logger, a custom range.
    void uploadChannel2CustomRange() {
        QVERIFY(startSimulator({"--format", "1", "--count", "300"}));
        const ProgramRun r = run({"--headless", "--upload", "--channel", "2", "--range", "custom",
                                  "--from", "12/01/2026 00:10:00", "--to", "12/01/2026 00:20:00"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains("DATA LOADED"), qPrintable(r.err));
        QCOMPARE(simulatorLog(), QByteArray("?2120126001000000040"));
    }

    void failedUploadExitsWith1() {
        QVERIFY(startSimulator({"--format", "2", "--bad-checksum", "1", "--bad-checksum-always"}));
        const ProgramRun r = run({"--headless", "--upload"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("UPLOAD CANCELLED DUE TO CORRUPT DATA OR SERIAL PORT TIMEOUT."),
                 qPrintable(r.err));
    }

    // The program under users' locales at a rate that does not divide an hour
    // and across a block boundary: the same rows as under C.
    void uploadUnderUsersLocales() {
        QVERIFY(
            startSimulator({"--format", "2", "--rh", "1", "--per-hour", "0.5", "--count", "1501"}));
        // At 19200 throughout: a change of rate costs seconds and no locale matters to it.
        QFile comport(path("COMPORT.DAT"));
        QVERIFY(comport.open(QIODevice::WriteOnly));
        comport.write("COM1:19200\r\n");
        comport.close();
        QList<QByteArray> reference;
        for (const char* locale : {"C", "de_DE.UTF-8", "ko_KR.UTF-8"}) {
            // Each run starts as the first did: the save stores the user's values.
            QFile::remove(path("USERINFO.DAT"));
            const Run r = run({"--headless", "--upload", "--save", "out.csv"}, locale);
            QVERIFY2(r.exitCode == 0, qPrintable(QString(locale) + ": " + r.err));
            QVERIFY2(r.err.contains("DATA LOADED"), qPrintable(r.err));
            QFile saved(path("out.csv"));
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QList<QByteArray> lines = saved.readAll().split('\n');
            lines.removeAt(1); // the creation time
            QCOMPARE(lines.size(), 1 + 8 + 1501 - 1);
            if (reference.isEmpty())
                reference = lines;
            for (qsizetype i = 0; i < lines.size(); ++i)
                QVERIFY2(lines[i] == reference[i],
                         qPrintable(QString("%1, line %2: %3").arg(locale).arg(i).arg(lines[i])));
        }
    }

    // The stored port is COM7; COM1, which the setting passes through at
    // start-up, is absent: it is never opened, so nothing is said of it, and
    // the save waits for the upload.
    void storedPortAfterAnAbsentCOM1() {
        QVERIFY(startSimulator({"--format", "2", "--count", "300"}, "COM7"));
        QFile comport(path("COMPORT.DAT"));
        QVERIFY(comport.open(QIODevice::WriteOnly));
        comport.write("COM7\r\n");
        comport.close();
        const Run r = run({"--headless", "--upload", "--save", "out.csv"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(!r.err.contains("Cannot open serial port"), qPrintable(r.err));
        QVERIFY2(r.err.contains("DATA LOADED"), qPrintable(r.err));
        QFile saved(path("out.csv"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll().count("\r\n"), 8 + 300);
    }

    // The upload ends at once, and the run with it: nothing is saved.
    void portThatCannotBeOpened() {
        const Run r = run({"--headless", "--upload", "--save", "out.csv"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Cannot open serial port: COM1 (" + path("COM1") + " -> " +
                                path("no-such-device") + ")."),
                 qPrintable(r.err));
        QCOMPARE(r.err.trimmed().split('\n').last(), "UPLOAD CANCELLED. Cannot open serial port.");
        QVERIFY(!QFile::exists(path("out.csv")));
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("channel 3") << QStringList{"--headless", "--channel", "3"};
        QTest::newRow("custom without from and to")
            << QStringList{"--headless", "--range", "custom"};
        QTest::newRow("from as a date only") << QStringList{
            "--headless",         "--range", "custom", "--from", "2026-01-01", "--to",
            "01/02/2026 00:00:00"};
        QTest::newRow("unknown option") << QStringList{"--headless", "--frobnicate"};
    }
    void badArguments() {
        QFETCH(QStringList, arguments);
        const ProgramRun r = run(arguments);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(app::usage()), qPrintable(r.err));
    }

    // Both print to stdout and exit 0 before any window or port is opened.
    void helpAndVersion_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("out");
        QTest::newRow("help") << QStringList{"--help"} << app::usage();
        QTest::newRow("help with --headless")
            << QStringList{"--headless", "--help"} << app::usage();
        QTest::newRow("version") << QStringList{"--version"} << app::versionCaption() + "\n";
    }
    void helpAndVersion() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        const Run r = run(arguments);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, out);
        QVERIFY(r.err.isEmpty());
    }

    // The application takes Qt's own options out of the arguments before the
    // parse. Without a display (no DISPLAY, WAYLAND_DISPLAY or
    // QT_QPA_PLATFORM), help, version and bad arguments are answered as
    // always, and the window is refused with a message instead of Qt's abort.
    // `err`: a text that stderr holds; empty: stderr is empty.
    void qtOptionsAndDisplays_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display"); // false: without the three variables
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString portFailure = "UPLOAD CANCELLED. Cannot open serial port.";
        const QString noDisplay =
            "brenvale: no display to open the window on; use --headless for a run without one";
        QTest::newRow("Qt's options go to Qt")
            << QStringList{"-style",    "fusion",   "--headless", "-platform",
                           "offscreen", "-reverse", "--upload"}
            << true << 1 << "" << portFailure;
        QTest::newRow("Qt's options with two dashes or =")
            << QStringList{"--style=fusion", "--platform", "xcb", "a.bvx"} << false << 1 << ""
            << noDisplay;
        QTest::newRow("Qt's options only")
            << QStringList{"-style", "fusion"} << false << 1 << "" << noDisplay;
        QTest::newRow("Qt's option beside --headless")
            << QStringList{"-platform", "offscreen", "--headless", "--upload"} << true << 1 << ""
            << portFailure;
        QTest::newRow("no display: help")
            << QStringList{"--help"} << false << 0 << app::usage() << "";
        QTest::newRow("no display: help with -platform xcb")
            << QStringList{"-platform", "xcb", "--help"} << false << 0 << app::usage() << "";
        QTest::newRow("no display: version")
            << QStringList{"--version"} << false << 0 << app::versionCaption() + "\n"
            << "";
        QTest::newRow("no display: bad argument")
            << QStringList{"--frobnicate"} << false << 2 << ""
            << "brenvale: unknown option --frobnicate\n" + app::usage();
        QTest::newRow("no display: the window") << QStringList{} << false << 1 << "" << noDisplay;
        QTest::newRow("no display: headless")
            << QStringList{"--headless", "--upload"} << false << 1 << "" << portFailure;
    }
    void qtOptionsAndDisplays() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!display)
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                environment.remove(name);
        const Run r =
            runProgram(builtProgram("brenvale"), arguments, folder->dir.path(), environment);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err)); // -1: it crashed
        QCOMPARE(r.out, out);
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), qPrintable(r.err));
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
