// --stats through the built program: the JSON object on stdout after an
// upload from the simulated logger or a load, its options shaping the report
// as well, and refused with exit status 2.
#include "built_programs.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kFixture = QStringLiteral("/tests/data/files/dup_mdy_rh.bvx");

QString fixture() {
    return qEnvironmentVariable("BRENVALE_SOURCE_DIR") + kFixture;
}

// pdftotext's text of a PDF; empty when it cannot be read.
QString pdfText(const QString& file) {
    QProcess process;
    process.start("pdftotext", {file, "-"});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The one line of stdout as an object; empty when it is not one.
QJsonObject statistics(const ProgramRun& run) {
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    if (lines.size() != 1)
        return {};
    return QJsonDocument::fromJson(lines.first().toUtf8()).object();
}

} // namespace

class TestCommandLineStats : public QObject {
    Q_OBJECT
    std::unique_ptr<ProgramFolder> folder;

  private slots:
    void initTestCase() {
        const QString missing = missingPrograms();
        QVERIFY2(missing.isEmpty(), qPrintable(missing + " missing: build the programs first"));
    }
    void init() { folder = std::make_unique<ProgramFolder>(); }
    void cleanup() { folder.reset(); }

    // One sample a minute from midnight; sample 40 without a reading; a
    // temperature alarm from sample 10 to 30, an RH alarm from 50 that the
    // data never see end, a test start at 60.
    void afterAnUpload() {
        QVERIFY(
            folder->startSimulator({"--format", "2", "--rh", "1", "--first", "2026-12-01T00:00:00",
                                    "--per-hour", "60", "--count", "100", "--no-reading", "40",
                                    "--events", "10:fffe,30:fffc,50:fffd,60:fffa"}));
        const ProgramRun r =
            folder->run({"--headless", "--upload", "--stats", "--unit", "C", "--limits", ":-100"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QJsonObject json = statistics(r);
        QVERIFY2(!json.isEmpty(), qPrintable(r.out));
        QCOMPARE(json["samples"].toInt(), 100);
        QCOMPARE(json["readings"].toInt(), 99);
        QCOMPARE(json["missing"].toInt(), 1);
        QCOMPARE(json["first"].toString(), "2026-12-01T00:00:00");
        QCOMPARE(json["last"].toString(), "2026-12-01T01:39:00");
        QCOMPARE(json["interval_s"].toInt(), 60);
        QCOMPARE(json["unit"].toString(), "C");
        QVERIFY(json["rh"].isObject());
        QVERIFY(json["temperature"]["mkt"].isDouble());

        const QJsonObject temperature = json["alarms"]["temperature"].toObject();
        QCOMPARE(temperature["episodes"].toInt(), 1);
        const QJsonObject first = temperature["list"][0].toObject();
        QCOMPARE(first["start"].toString(), "2026-12-01T00:10:00");
        QCOMPARE(first["end"].toString(), "2026-12-01T00:30:00");
        QCOMPARE(first["duration_s"].toInt(), 1200);
        QVERIFY(first["open"].isNull());
        const QJsonObject rh = json["alarms"]["rh"]["list"][0].toObject();
        QCOMPARE(rh["end"].toString(), "2026-12-01T01:39:00");
        QCOMPARE(rh["duration_s"].toInt(), 49 * 60);
        QCOMPARE(rh["open"].toString(), "end");
        QCOMPARE(json["events"]["test_starts"].toInt(), 1);
        QCOMPARE(json["gaps"]["longest_s"].toInt(), 60);
        QCOMPARE(json["limits"]["low"], QJsonValue());
        QCOMPARE(json["limits"]["high"].toDouble(), -100.0);
        QCOMPARE(json["limits"]["above_s"].toInt(), 99 * 60);
        QCOMPARE(json["limits"]["excursions"].toInt(), 2); // the missing reading splits it
        // The status lines stay on stderr.
        QVERIFY(r.err.contains("DATA LOADED"));
    }

    // The same file in both units: °F = °C × 1.8 + 32, spreads × 1.8.
    void unitsOfALoad() {
        QJsonObject json[2];
        for (int i = 0; i < 2; ++i) {
            QStringList arguments = {"--headless", "--load", fixture(), "--stats"};
            if (i == 0)
                arguments << "--unit"
                          << "C";
            const ProgramRun r = folder->run(arguments);
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
            json[i] = statistics(r);
            QVERIFY2(!json[i].isEmpty(), qPrintable(r.out));
        }
        QCOMPARE(json[1]["unit"].toString(), "F");
        QVERIFY(json[1]["limits"].isNull());
        const QJsonObject c = json[0]["temperature"].toObject();
        const QJsonObject f = json[1]["temperature"].toObject();
        for (const char* key : {"min", "max", "mean", "mkt"})
            QVERIFY2(qAbs(f[key].toDouble() - (c[key].toDouble() * 1.8 + 32)) < 0.01, key);
        QVERIFY(qAbs(f["stdev"].toDouble() - c["stdev"].toDouble() * 1.8) < 0.01);
        QCOMPARE(f["min_at"], c["min_at"]);
        QCOMPARE(json[1]["rh"], json[0]["rh"]);
    }

    // --unit, --limits and --mkt-energy shape the report's statistics and its
    // chart without --stats, and the JSON as well with it.
    void choicesShapeTheReport() {
        const QStringList choices = {"--unit", "C", "--limits", "2:8", "--mkt-energy", "100"};
        for (const bool stats : {false, true}) {
            QStringList arguments =
                QStringList{"--headless", "--load", fixture(), "--report", folder->path("r.pdf")} +
                choices;
            if (stats)
                arguments << "--stats";
            const ProgramRun r = folder->run(arguments);
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
            QCOMPARE(r.out.isEmpty(), !stats);
            if (stats) {
                const QJsonObject json = statistics(r);
                QCOMPARE(json["unit"].toString(), "C");
                QCOMPARE(json["limits"]["low"].toDouble(), 2.0);
            }
            const QString text = pdfText(folder->path("r.pdf"));
            for (const char* expected :
                 {R"(Statistics of the whole data set)", R"(Temperature minimum\s+-40.00 °C)",
                  R"(Low limit\s+2.00 °C)", R"(High limit\s+8.00 °C)",
                  R"(Below the low limit\s+00:30:00 \(excursions: 1)",
                  R"(Mean kinetic temperature\s+[-\d.]+ °C \(ΔH 100.000 kJ/mol\))", "Units=C"})
                QVERIFY2(text.contains(QRegularExpression(QString::fromUtf8(expected))),
                         qPrintable(QString::fromUtf8(expected) + "\n" + text));
        }
        // Without them: °F, no limits, the usual ΔH.
        const ProgramRun plain =
            folder->run({"--headless", "--load", fixture(), "--report", folder->path("f.pdf")});
        QVERIFY2(plain.exitCode == 0, qPrintable(plain.err));
        const QString text = pdfText(folder->path("f.pdf"));
        QVERIFY(text.contains(QRegularExpression("Temperature minimum\\s+-40.00 °F")));
        QVERIFY(text.contains("(ΔH 83.144 kJ/mol)"));
        QVERIFY(text.contains("Units=F"));
        QVERIFY(!text.contains("Low limit"));
    }

    // A failed load prints no statistics.
    void failedLoad() {
        const ProgramRun r =
            folder->run({"--headless", "--load", folder->path("absent.bvx"), "--stats"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
    }

    void badValues_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QStringList load = {"--headless", "--load", "in.bvx", "--stats"};
        QTest::newRow("unit K") << load + QStringList{"--unit", "K"} << "--unit takes C or F";
        QTest::newRow("limits without a colon")
            << load + QStringList{"--limits", "40"} << "--limits takes LOW:HIGH";
        QTest::newRow("limits empty on both sides")
            << load + QStringList{"--limits", ":"} << "--limits takes LOW:HIGH";
        QTest::newRow("limits not numbers")
            << load + QStringList{"--limits", "low:high"} << "--limits takes LOW:HIGH";
        QTest::newRow("limits reversed")
            << load + QStringList{"--limits", "50:40"} << "--limits: LOW 50 is above HIGH 40";
        QTest::newRow("energy zero") << load + QStringList{"--mkt-energy", "0"}
                                     << "--mkt-energy takes the activation energy in kJ/mol";
        QTest::newRow("energy not a number")
            << load + QStringList{"--mkt-energy", "x"}
            << "--mkt-energy takes the activation energy in kJ/mol";
        QTest::newRow("energy without a value")
            << load + QStringList{"--mkt-energy"} << "--mkt-energy needs a value";
        QTest::newRow("stats without data")
            << QStringList{"--headless", "--stats"} << "--stats goes with --load or --upload";
        const QStringList report = {"--headless", "--load", "in.bvx", "--report", "r.pdf"};
        QTest::newRow("limits reversed, for the report")
            << report + QStringList{"--limits", "50:40"} << "--limits: LOW 50 is above HIGH 40";
        QTest::newRow("unit K, for the report")
            << report + QStringList{"--unit", "K"} << "--unit takes C or F";
        QTest::newRow("unit without stats or report")
            << QStringList{"--headless", "--load", "in.bvx", "--unit", "C"}
            << "--unit, --limits and --mkt-energy go with --stats or --report";
    }
    void badValues() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const ProgramRun r = folder->run(arguments);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith("brenvale: " + message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLineStats)
#include "test_command_line_stats.moc"
