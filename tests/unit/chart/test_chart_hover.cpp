// The tip under the mouse: the nearest sample, event names, the tip's lines.
#include "chart/chart_hover.h"
#include "model/event_kinds.h"
#include "platform/formatting.h"
#include <QTest>

class TestChartHover : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { platform::resetFormatSettingsFromSystem(); }

    void nearestSample_data() {
        QTest::addColumn<std::vector<double>>("times");
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("nearest"); // -1: none
        const std::vector<double> times{10, 20, 30, 40};
        QTest::newRow("empty") << std::vector<double>{} << 5.0 << -1;
        QTest::newRow("before the first") << times << -100.0 << 0;
        QTest::newRow("after the last") << times << 1e9 << 3;
        QTest::newRow("exactly a sample") << times << 30.0 << 2;
        QTest::newRow("nearer the later") << times << 26.0 << 2;
        QTest::newRow("nearer the earlier") << times << 24.0 << 1;
        QTest::newRow("midway: the earlier") << times << 25.0 << 1;
        QTest::newRow("one sample") << std::vector<double>{7} << 100.0 << 0;
    }
    void nearestSample() {
        QFETCH(std::vector<double>, times);
        QFETCH(double, x);
        QFETCH(int, nearest);
        const auto found = chart::nearestSample(times, x);
        QCOMPARE(found ? static_cast<int>(*found) : -1, nearest);
    }

    void eventNames_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("names");
        QTest::newRow("one") << "tas"
                             << "temperature alarm start";
        QTest::newRow("counted and listed")
            << "2 ns, tas, RHae"
            << "2 x new sensor fitted, temperature alarm start, RH alarm end";
        QTest::newRow("tests") << "ts, 3 te"
                               << "test start, 3 x test end";
        QTest::newRow("tests drawn live") << "2 tb, te"
                                          << "2 x test start, test end";
        QTest::newRow("no event") << "."
                                  << "";
        QTest::newRow("placeholder") << "No data"
                                     << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void eventNames() {
        QFETCH(QString, label);
        QFETCH(QString, names);
        QCOMPARE(chart::eventNames(label), names);
    }

    // Every kind has both labels and a name, and the tip knows it by either label.
    void everyEventKindIsNamed() {
        for (const decode::EventKind& kind : decode::kEventKindTable) {
            const QString name = QString::fromLatin1(kind.name);
            QVERIFY(!name.isEmpty());
            QVERIFY(*kind.label && *kind.liveLabel);
            QCOMPARE(chart::eventNames(kind.label), name);
            QCOMPARE(chart::eventNames(kind.liveLabel), name);
        }
    }

    void sampleTip() {
        SampleStore store;
        const double t = platform::encodeDateTime(2026, 12, 1, 14, 7, 15);
        store.SampleTimes = {t, t + platform::kSecond * 15};
        store.TempData = {10.0f, kNoReading};
        store.RHData = {80.5f, kNoReading};
        const chart::Units fahrenheitRh{true, true, "mm/dd/yyyy hh:mm:ss"};
        QCOMPARE(chart::sampleTip(store, 0, fahrenheitRh, "tas"),
                 QString("12/01/2026 14:07:15\nTemperature: 50 F\nRH: 80.5 %\n"
                         "Events: temperature alarm start"));
        const chart::Units celsius{false, false, "yyyy-mm-dd hh:mm:ss"};
        QCOMPARE(chart::sampleTip(store, 0, celsius, "."),
                 QString("2026-12-01 14:07:15\nTemperature: 10 C"));
        QCOMPARE(chart::sampleTip(store, 1, fahrenheitRh, QString()),
                 QString("12/01/2026 14:07:30\nTemperature: no reading\nRH: no reading"));
    }
};

QTEST_MAIN(TestChartHover)
#include "test_chart_hover.moc"
