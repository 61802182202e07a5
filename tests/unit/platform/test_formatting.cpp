// Date-time and number formatting: the user's formats for what the user
// reads, fixed ones for the logger's texts and the files.
#include "platform/errors.h"
#include "platform/formatting.h"
#include <QLocale>
#include <QTest>

using namespace platform;

class TestFormatting : public QObject {
    Q_OBJECT
  private slots:
    void init() { formatSettings() = FormatSettings{}; }
    void cleanup() { setClock(nullptr); }

    void patterns_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("time");
        QTest::addColumn<QString>("expected");
        const double late = encodeDateTime(2008, 12, 31, 23, 59, 58);
        QTest::newRow("mdy") << "mm/dd/yyyy hh:mm:ss" << late << "12/31/2008 23:59:58";
        QTest::newRow("mdy ampm") << "mm/dd/yyyy hh:mm:ss AM/PM" << late
                                  << "12/31/2008 11:59:58 PM";
        QTest::newRow("dmy") << "dd/mm/yyyy hh:mm:ss" << late << "31/12/2008 23:59:58";
        QTest::newRow("ymd") << "yyyy/mm/dd hh:mm:ss" << late << "2008/12/31 23:59:58";
        QTest::newRow("mdy comma") << "mm/dd/yyyy, hh:mm:ss" << late << "12/31/2008, 23:59:58";
        QTest::newRow("mdy comma ampm")
            << "mm/dd/yyyy, hh:mm:ss AM/PM" << late << "12/31/2008, 11:59:58 PM";
        QTest::newRow("dmy comma") << "dd/mm/yyyy, hh:mm:ss" << late << "31/12/2008, 23:59:58";
        QTest::newRow("ymd comma") << "yyyy/mm/dd, hh:mm:ss" << late << "2008/12/31, 23:59:58";
        QTest::newRow("midnight") << "mm/dd/yyyy hh:mm:ss AM/PM"
                                  << encodeDateTime(2009, 1, 1, 0, 0, 0)
                                  << "01/01/2009 12:00:00 AM";
        QTest::newRow("noon") << "mm/dd/yyyy hh:mm:ss AM/PM" << encodeDateTime(2009, 1, 1, 12, 0, 0)
                              << "01/01/2009 12:00:00 PM";
        QTest::newRow("request stamp")
            << "mmddyyhhnnss" << encodeDateTime(2026, 12, 7, 15, 30, 0) << "120726153000";
        QTest::newRow("m right after h is minutes")
            << "yy/m/d h:m" << encodeDateTime(2026, 3, 4, 5, 6, 0) << "26/3/4 5:6";
        QTest::newRow("milliseconds dropped")
            << "hh:nn:ss" << encodeDateTime(2026, 1, 1, 10, 0, 59) + 0.9995 / 86400.0 << "10:00:59";
    }
    void patterns() {
        QFETCH(QString, pattern);
        QFETCH(double, time);
        QFETCH(QString, expected);
        QCOMPARE(formatDateTime(pattern, time), expected);
    }

    void separatorsFollowSettingsOnlyOnScreen() {
        formatSettings().dateSeparator = '.';
        formatSettings().timeSeparator = '-';
        const double t = encodeDateTime(2008, 12, 31, 23, 59, 58);
        QCOMPARE(formatDateTime("dd/mm/yyyy hh:mm:ss", t), QString("31.12.2008 23-59-58"));
        QCOMPARE(formatDateTimeFixed("dd/mm/yyyy hh:mm:ss", t), QString("31/12/2008 23:59:58"));
    }

    // The logger's texts read the same under any user's formats, among them
    // a decimal comma and a day-first date with blanks after its dots.
    void fixedTextsIgnoreTheUserFormats() {
        formatSettings() = formatSettingsOf(QLocale("de_DE"));
        QCOMPARE(formatSettings().decimalSeparator, QChar(','));
        QCOMPARE(floatToStr(0.5), QString("0,5"));
        QCOMPARE(floatToStrFixed(0.5), QString("0.5"));
        QCOMPARE(strToFloatFixed("514.285714286"), 514.285714286);
        QVERIFY_THROWS_EXCEPTION(ConversionError, strToFloatFixed("0,5"));
        formatSettings() = formatSettingsOf(QLocale("ko_KR"));
        QCOMPARE(strToDateTimeFixed("12/07/26 15:30:00", "mdy"),
                 encodeDateTime(2026, 12, 7, 15, 30, 0));
        QCOMPARE(strToDateTimeFixed("07/12/2026 15:30:00", "dmy"),
                 encodeDateTime(2026, 12, 7, 15, 30, 0));
    }

    // The chart's labels put the user's separators into the date format's
    // "/" and ":". A time written with letters between its fields (Korean,
    // Japanese) or with quoted words (Canadian French) has no separator to
    // take: it keeps ":", never the "/" of its "AM/PM" or a quote.
    void localeSeparatorsOnTheChart_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("label");
        QTest::newRow("en_US") << "en_US"
                               << "12/07/2026 14:05:09";
        QTest::newRow("de_DE") << "de_DE"
                               << "12.07.2026 14:05:09";
        QTest::newRow("ko_KR") << "ko_KR"
                               << "12.07.2026 14:05:09";
        QTest::newRow("hu_HU") << "hu_HU"
                               << "12.07.2026 14:05:09";
        QTest::newRow("ja_JP") << "ja_JP"
                               << "12/07/2026 14:05:09";
        QTest::newRow("fr_CA") << "fr_CA"
                               << "12-07-2026 14:05:09";
        QTest::newRow("fi_FI") << "fi_FI"
                               << "12.07.2026 14.05.09";
    }
    void localeSeparatorsOnTheChart() {
        QFETCH(QString, locale);
        QFETCH(QString, label);
        formatSettings() = formatSettingsOf(QLocale(locale));
        QCOMPARE(formatDateTime("mm/dd/yyyy hh:mm:ss", encodeDateTime(2026, 12, 7, 14, 5, 9)),
                 label);
    }

    // A two-digit year falls within 50 years of the clock's year, and a date
    // without a year takes the clock's year.
    void twoDigitYearWindowFollowsTheClock_data() {
        QTest::addColumn<int>("clockYear");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("year");
        QTest::newRow("2026: 75 is ahead") << 2026 << "01/02/75" << 2075;
        QTest::newRow("2026: 76 is behind") << 2026 << "01/02/76" << 1976;
        QTest::newRow("2026: 26 is this year") << 2026 << "01/02/26" << 2026;
        QTest::newRow("1999: 49 is behind") << 1999 << "01/02/49" << 1949;
        QTest::newRow("1999: 48 is ahead") << 1999 << "01/02/48" << 2048;
        QTest::newRow("1999: 00 is ahead") << 1999 << "01/02/00" << 2000;
        QTest::newRow("2050: 99 is ahead") << 2050 << "01/02/99" << 2099;
        QTest::newRow("2049: 99 is behind") << 2049 << "01/02/99" << 1999;
        QTest::newRow("four digits stay") << 2026 << "01/02/1890" << 1890;
        QTest::newRow("no year") << 2031 << "01/02" << 2031;
    }
    void twoDigitYearWindowFollowsTheClock() {
        QFETCH(int, clockYear);
        QFETCH(QString, text);
        QFETCH(int, year);
        ManualClock clock(encodeDateTime(clockYear, 6, 30, 12, 0, 0));
        setClock(&clock);
        formatSettings().shortDateFormat = "mm/dd/yy";
        QCOMPARE(strToDateTime(text), encodeDate(year, 1, 2));
    }

    void parseDateTime_data() {
        QTest::addColumn<QString>("shortDateFormat");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("month first")
            << "mm/dd/yyyy"
            << "12/07/2026 15:30:00" << encodeDateTime(2026, 12, 7, 15, 30, 0);
        QTest::newRow("two-digit year")
            << "mm/dd/yy"
            << "12/07/26 15:30:00" << encodeDateTime(2026, 12, 7, 15, 30, 0);
        QTest::newRow("day first") << "dd/mm/yyyy"
                                   << "07/12/2026 01:02:03" << encodeDateTime(2026, 12, 7, 1, 2, 3);
        QTest::newRow("year first")
            << "yyyy/mm/dd"
            << "2026/12/07 01:02:03" << encodeDateTime(2026, 12, 7, 1, 2, 3);
        QTest::newRow("12 AM is midnight")
            << "mm/dd/yyyy"
            << "01/01/2009 12:00:00 AM" << encodeDateTime(2009, 1, 1, 0, 0, 0);
        QTest::newRow("12 PM is noon")
            << "mm/dd/yyyy"
            << "01/01/2009 12:00:00 PM" << encodeDateTime(2009, 1, 1, 12, 0, 0);
        QTest::newRow("date only") << "mm/dd/yyyy"
                                   << "01/02/2009" << encodeDate(2009, 1, 2);
        QTest::newRow("old two-digit year") << "mm/dd/yy"
                                            << "01/01/01 00:00:00" << encodeDate(2001, 1, 1);
    }
    void parseDateTime() {
        QFETCH(QString, shortDateFormat);
        QFETCH(QString, text);
        QFETCH(double, expected);
        formatSettings().shortDateFormat = shortDateFormat;
        QCOMPARE(strToDateTime(text), expected);
    }

    void badDateTimesRaise_data() {
        QTest::addColumn<QString>("text");
        for (const char* text : {"", "Firstdate", "13/01/2009", "02/30/2009", "01/01/2009 24:00:00",
                                 "01/01/2009 10:61:00", "01/01/2009 13:00:00 PM", "01/01/2009 x"})
            QTest::newRow(text) << QString(text);
    }
    void badDateTimesRaise() {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(ConversionError, strToDateTime(text));
    }

    void floatText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("integer") << 240.0 << "240";
        QTest::newRow("fraction") << 0.25 << "0.25";
        QTest::newRow("negative") << -12.5 << "-12.5";
        QTest::newRow("float widened") << double(3600.0f / 7.0f) << "514.285705566406";
        QTest::newRow("large") << 1e15 << "1E15";
        QTest::newRow("small") << 0.000015 << "1.5E-5";
        QTest::newRow("zero") << 0.0 << "0";
    }
    void floatText() {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(floatToStr(value), expected);
    }

    void numbersUseTheDecimalSeparator() {
        QCOMPARE(strToFloat(" -5.5 "), -5.5);
        QCOMPARE(strToFloat("+12.5"), 12.5);
        QCOMPARE(strToFloat("1e3"), 1000.0);
        formatSettings().decimalSeparator = ',';
        QCOMPARE(strToFloat("2,5"), 2.5);
        QCOMPARE(floatToStr(2.5), QString("2,5"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, strToFloat("2.5"));
    }

    void badNumbersRaise_data() {
        QTest::addColumn<QString>("text");
        for (const char* text : {"", "-", "abc", "1.2.3", "1e", "12x"})
            QTest::newRow(text) << QString(text);
    }
    void badNumbersRaise() {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(ConversionError, strToFloat(text));
        QVERIFY_THROWS_EXCEPTION(ConversionError, strToInt(text));
    }

    void integers() {
        QCOMPARE(strToInt("240"), 240);
        QCOMPARE(strToInt("-7"), -7);
        QCOMPARE(strToInt("$1F"), 31);
        QVERIFY_THROWS_EXCEPTION(ConversionError, strToInt("99999999999"));
    }

    void dateTimeTextLeavesOutMidnight() {
        formatSettings().shortDateFormat = "mm/dd/yyyy";
        formatSettings().longTimeFormat = "hh:nn:ss";
        QCOMPARE(dateTimeToStr(encodeDate(2026, 12, 9)), QString("12/09/2026"));
        QCOMPARE(dateTimeToStr(encodeDateTime(2026, 12, 9, 8, 5, 1)),
                 QString("12/09/2026 08:05:01"));
    }
};

QTEST_GUILESS_MAIN(TestFormatting)
#include "test_formatting.moc"
