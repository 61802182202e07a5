// The reasons the command line gives for arguments it refuses: the words a
// user or a cron log reads after "brenvale: ". And what is read of the
// arguments before the application exists, to choose its platform.
#include "app/command_line.h"
#include <QTest>

class TestCommandLineReasons : public QObject {
    Q_OBJECT
  private slots:
    void reasons_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("value missing at the end")
            << QStringList{"--headless", "--channel"} << "--channel needs a value";
        QTest::newRow("unknown option as typed")
            << QStringList{"--headless", "--fast=1"} << "unknown option --fast=1";
        QTest::newRow("unknown option with one dash")
            << QStringList{"--headless", "-x"} << "unknown option -x";
        QTest::newRow("value refused") << QStringList{"--headless", "--range", "year"}
                                       << "--range takes all, last-month, last-week or custom";
        QTest::newRow("value after =")
            << QStringList{"--headless", "--channel=3"} << "--channel takes 1 or 2";
        QTest::newRow("time refused")
            << QStringList{"--headless", "--range", "custom", "--from", "x", "--to", "y"}
            << "--from takes \"MM/DD/YYYY hh:mm:ss\"";
        QTest::newRow("auto interval refused")
            << QStringList{"--headless", "--auto", "2h", "--auto-file", "p"}
            << "--auto takes once, 1h, 4h, 8h, 24h, 7d or 30d";
        QTest::newRow("auto file empty")
            << QStringList{"--headless", "--auto", "1h", "--auto-file", ""}
            << "--auto-file needs a file name";
        QTest::newRow("step without --headless")
            << QStringList{"--save", "out.csv"} << "these options need --headless";
        QTest::newRow("file beside --headless")
            << QStringList{"--headless", "a.bvx"} << "name the file to load with --load";
        QTest::newRow("report not pdf")
            << QStringList{"--headless", "--report", "r.txt"} << "--report takes a .pdf file name";
        QTest::newRow("auto with a report")
            << QStringList{"--headless", "--auto", "once", "--auto-file", "p", "--report", "r.pdf"}
            << "--auto runs by itself, without the other steps";
        QTest::newRow("auto with a step")
            << QStringList{"--headless", "--auto", "once", "--auto-file", "p", "--load", "a.bvx"}
            << "--auto runs by itself, without the other steps";
    }
    void reasons() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const auto parsed = app::parse(arguments);
        const auto* bad = std::get_if<app::BadArguments>(&parsed);
        QVERIFY(bad);
        QCOMPARE(bad->reason, reason);
    }

    // A value that looks like an option is still the value, as before.
    void valueThatLooksLikeAnOption() {
        const auto parsed = app::parse({"--headless", "--user-name", "--upload"});
        const auto* options = std::get_if<app::Options>(&parsed);
        QVERIFY(options);
        QCOMPARE(options->userName, QString("--upload"));
        QVERIFY(!options->upload);
    }

    void asksHeadless_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("headless");
        QTest::newRow("two dashes") << QStringList{"--upload", "--headless"} << true;
        QTest::newRow("one dash") << QStringList{"-headless"} << true;
        QTest::newRow("a file after --") << QStringList{"--", "--headless"} << false;
        QTest::newRow("window") << QStringList{"a.bvx"} << false;
    }
    void asksHeadless() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, headless);
        QCOMPARE(app::asksHeadless(arguments), headless);
    }

    void displayMissing_data() {
        QTest::addColumn<QStringList>("arguments"); // Qt's own options still among them
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<bool>("missing");
        QTest::newRow("nothing set") << QStringList{} << QStringList{} << true;
        QTest::newRow("X11") << QStringList{} << QStringList{"DISPLAY=:0"} << false;
        QTest::newRow("Wayland") << QStringList{} << QStringList{"WAYLAND_DISPLAY=wayland-0"}
                                 << false;
        QTest::newRow("DISPLAY empty") << QStringList{} << QStringList{"DISPLAY="} << true;
        QTest::newRow("off screen by the variable")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=offscreen"} << false;
        QTest::newRow("X11 by the variable")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=xcb"} << true;
        QTest::newRow("off screen by -platform")
            << QStringList{"-platform", "offscreen"} << QStringList{} << false;
        QTest::newRow("--platform over the variable")
            << QStringList{"--platform", "xcb"} << QStringList{"QT_QPA_PLATFORM=offscreen"} << true;
        QTest::newRow("the last -platform")
            << QStringList{"-platform", "wayland", "a.bvx", "-platform", "minimal"} << QStringList{}
            << false;
    }
    void displayMissing() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(bool, missing);
        QProcessEnvironment variables;
        for (const QString& variable : environment)
            variables.insert(variable.section('=', 0, 0), variable.section('=', 1));
        QCOMPARE(app::displayMissing(arguments, variables), missing);
    }
};

QTEST_MAIN(TestCommandLineReasons)
#include "test_command_line_parse.moc"
