// Field values, temperature conversion and time stamps of data records.
#include "decode/sample_words.h"
#include "platform/clock.h"
#include <QTest>

using namespace decode;

class TestSampleWords : public QObject {
    Q_OBJECT
  private slots:
    void hexValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("upper") << "1A3F" << 6719.0;
        QTest::newRow("lower") << "ff9c" << 65436.0;
        QTest::newRow("mixed case") << "Ff9C" << 65436.0;
        QTest::newRow("four digits only") << "12345" << 4660.0;
        QTest::newRow("colon is ten") << "3:" << 58.0;
        QTest::newRow("star to slash") << "*+,-./" << double(0xABCD);
        QTest::newRow("question mark") << "?" << 15.0;
        QTest::newRow("stops at G") << "7G" << 7.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("no digit") << "x12" << 0.0;
        QTest::newRow("blank stops") << "1 2" << 1.0;
    }
    void hexValue() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(HexValue(text), value);
    }

    void conversion_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<QString>("field");
        QTest::addColumn<double>("celsius");
        // Newer loggers: 100.0 at 10000, 0.0 at 0, so 0.01 per count.
        QTest::newRow("f2 positive") << 2 << true << "0FA0" << 40.0;
        QTest::newRow("f2 negative") << 2 << true << "FF9C" << -1.0;
        QTest::newRow("f2 unsigned") << 2 << false << "FF9C" << 654.36;
        QTest::newRow("f2 lower case") << 2 << true << "ff9c" << -1.0;
        // Older loggers: A00F = 337.15, 8000 = 273.15, so 0.25 per count and
        // fractions in fifteenths.
        QTest::newRow("f1 count and fraction")
            << 1 << true << "8A47" << 1106 * 0.25 + 7.0 / 15 - 273.15;
        QTest::newRow("f1 reserved codes are values")
            << 1 << true << "FFFE" << 2047 * 0.25 + 30.0 / 15 - 273.15;
    }
    void conversion() {
        QFETCH(int, format);
        QFETCH(bool, isSigned);
        QFETCH(QString, field);
        QFETCH(double, celsius);
        ConversionParams p;
        p.format = format;
        p.isSigned = isSigned;
        p.bits = 16;
        p.valueA = 100.0f;
        p.codeA = 10000;
        p.valueB = 0.0f;
        p.codeB = 0;
        p.calCodeA = "A00F";
        p.calCodeB = "8000";
        p.calValueA = 337.15f;
        p.calValueB = 273.15f;
        const Calibration cal = PrepareCalibration(p);
        QVERIFY(cal.valid);
        const std::optional<float> t = ConvertTemperature(SplitTemperature(field, p), cal, format);
        QVERIFY(t);
        QCOMPARE(*t, static_cast<float>(celsius));
    }

    void olderCalibrationParts() {
        ConversionParams p;
        p.format = 1;
        p.calCodeA = "A00F";
        p.calCodeB = "8000";
        p.calValueA = 337.15f;
        p.calValueB = 273.15f;
        const Calibration cal = PrepareCalibration(p);
        QCOMPARE(cal.slope, 0.25f);
        QCOMPARE(cal.divisorOrOffset, 15.0f);
        const TemperatureWord w = SplitTemperature(u"8A47", p);
        QCOMPARE(w.RawValue, 1106.0f);
        QCOMPARE(w.RawFraction, 7.0f);
    }

    // Calibration points that would divide by zero convert nothing, so no
    // infinite or undefined temperature can reach the store.
    void unusableCalibration_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("codeA");
        QTest::addColumn<QString>("codeB");
        QTest::addColumn<int>("rawA");
        QTest::addColumn<int>("rawB");
        QTest::newRow("f1 codes within one count") << 1 << "800F"
                                                   << "8000" << 0 << 0;
        QTest::newRow("f1 zero divisor") << 1 << "A000"
                                         << "8000" << 0 << 0;
        QTest::newRow("f2 equal codes") << 2 << ""
                                        << "" << 500 << 500;
    }
    void unusableCalibration() {
        QFETCH(int, format);
        QFETCH(QString, codeA);
        QFETCH(QString, codeB);
        QFETCH(int, rawA);
        QFETCH(int, rawB);
        ConversionParams p;
        p.format = format;
        p.calCodeA = codeA;
        p.calCodeB = codeB;
        p.calValueA = 337.15f;
        p.calValueB = 273.15f;
        p.codeA = rawA;
        p.codeB = rawB;
        p.valueA = 100;
        const Calibration cal = PrepareCalibration(p);
        QVERIFY(!cal.valid);
        QVERIFY(!ConvertTemperature(SplitTemperature(u"1234", p), cal, format));
    }

    void rhValue() {
        QCOMPARE(RHValue(u"3C"), 60.0f);
        QCOMPARE(RHValue(u"FF"), 255.0f);
    }

    void timeStamps_data() {
        QTest::addColumn<double>("perHour");
        QTest::addColumn<qint64>("k");
        QTest::addColumn<int>("seconds");
        QTest::newRow("240 per hour") << 240.0 << qint64(1) << 15;
        QTest::newRow("7 per hour rounds to 514 s") << 7.0 << qint64(1) << 514;
        QTest::newRow("second block starts 1500 on") << 240.0 << qint64(1500) << 1500 * 15;
        QTest::newRow("no rate keeps the start") << 0.0 << qint64(1000) << 0;
    }
    void timeStamps() {
        QFETCH(double, perHour);
        QFETCH(qint64, k);
        QFETCH(int, seconds);
        const platform::DateTime start = platform::encodeDateTime(2026, 12, 7, 15, 30, 0);
        QCOMPARE(platform::roundToSecond(RecordTimeStamp(start, perHour, k)),
                 platform::roundToSecond(start + seconds * platform::kSecond));
    }
};

QTEST_APPLESS_MAIN(TestSampleWords)
#include "test_sample_words.moc"
