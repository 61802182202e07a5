// The values of --unit, --limits and --mkt-energy, taken or refused.
#include "app/statistics_arguments.h"
#include <QTest>

using Limit = std::optional<double>;

class TestStatisticsArguments : public QObject {
    Q_OBJECT
  private slots:
    void limits_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<Limit>("low");
        QTest::addColumn<Limit>("high");
        QTest::newRow("both") << "35.6:46.4" << true << Limit(35.6) << Limit(46.4);
        QTest::newRow("negative low") << "-5:8" << true << Limit(-5) << Limit(8);
        QTest::newRow("high only") << ":46.4" << true << Limit() << Limit(46.4);
        QTest::newRow("low only") << "2:" << true << Limit(2) << Limit();
        QTest::newRow("equal") << "5:5" << true << Limit(5) << Limit(5);
        QTest::newRow("blanks around numbers") << " 1 : 2 " << true << Limit(1) << Limit(2);
        QTest::newRow("neither side") << ":" << false << Limit() << Limit();
        QTest::newRow("no colon") << "5" << false << Limit() << Limit();
        QTest::newRow("three sides") << "1:2:3" << false << Limit() << Limit();
        QTest::newRow("a word") << "cold:8" << false << Limit() << Limit();
        QTest::newRow("decimal comma") << "2,5:8" << false << Limit() << Limit();
        QTest::newRow("not a number") << "nan:8" << false << Limit() << Limit();
        QTest::newRow("infinite") << "1:inf" << false << Limit() << Limit();
        QTest::newRow("low above high") << "10:5" << false << Limit() << Limit();
    }
    void limits() {
        QFETCH(QString, value);
        QFETCH(bool, taken);
        QFETCH(Limit, low);
        QFETCH(Limit, high);
        report::StatisticsOptions options;
        const std::optional<QString> refused = app::applyLimits(options, value);
        QCOMPARE(!refused, taken);
        if (refused)
            QVERIFY2(refused->startsWith("--limits"), qPrintable(*refused));
        QCOMPARE(options.low, low);
        QCOMPARE(options.high, high);
    }

    void unit_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("fahrenheit");
        QTest::newRow("C") << "C" << true << false;
        QTest::newRow("F") << "F" << true << true;
        QTest::newRow("kelvin") << "K" << false << true;
        QTest::newRow("a word") << "celsius" << false << true;
        QTest::newRow("empty") << "" << false << true;
    }
    void unit() {
        QFETCH(QString, value);
        QFETCH(bool, taken);
        QFETCH(bool, fahrenheit);
        report::StatisticsOptions options;
        const std::optional<QString> refused = app::applyUnit(options, value);
        QCOMPARE(!refused, taken);
        QCOMPARE(options.fahrenheit, fahrenheit);
    }

    void energy_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<double>("energy");
        QTest::newRow("usual") << "83.144" << true << 83.144;
        QTest::newRow("other product") << "60" << true << 60.0;
        QTest::newRow("largest") << "10000" << true << 10000.0;
        QTest::newRow("zero") << "0" << false << report::kDefaultActivationEnergy;
        QTest::newRow("negative") << "-50" << false << report::kDefaultActivationEnergy;
        QTest::newRow("too large") << "1e6" << false << report::kDefaultActivationEnergy;
        QTest::newRow("a word") << "high" << false << report::kDefaultActivationEnergy;
        QTest::newRow("infinite") << "inf" << false << report::kDefaultActivationEnergy;
    }
    void energy() {
        QFETCH(QString, value);
        QFETCH(bool, taken);
        QFETCH(double, energy);
        report::StatisticsOptions options;
        const std::optional<QString> refused = app::applyActivationEnergy(options, value);
        QCOMPARE(!refused, taken);
        QCOMPARE(options.activationEnergy, energy);
    }
};

QTEST_GUILESS_MAIN(TestStatisticsArguments)
#include "test_statistics_arguments.moc"
