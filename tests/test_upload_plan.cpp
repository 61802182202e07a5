// Request texts, block arithmetic and range resolution of an upload.
#include "link/upload_driver.h"
#include "platform/formatting.h"
#include <QTest>
#include <climits>

using namespace upload;
using platform::encodeDate;
using platform::encodeDateTime;
using platform::encodeTime;

class TestUploadPlan : public QObject {
    Q_OBJECT
  private slots:
    void requests_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("newer channel 2") << 2 << 2 << 1500 << "002120726153000001500";
        QTest::newRow("older channel 2") << 1 << 2 << 1500 << "2120726153000001500";
        QTest::newRow("newer channel 1, one sample") << 2 << 1 << 1 << "001120726153000000001";
        QTest::newRow("six digits") << 2 << 1 << 999999 << "001120726153000999999";
        QTest::newRow("zero is seven zeros") << 2 << 1 << 0 << "0011207261530000000000";
    }
    void requests() {
        QFETCH(int, format);
        QFETCH(int, channel);
        QFETCH(int, count);
        QFETCH(QString, text);
        QCOMPARE(requestText(format, channel, encodeDateTime(2026, 12, 7, 15, 30, 0), count), text);
    }

    void fastBaud() {
        QCOMPARE(fastBaudCommand(57600), "B057600T05");
        QCOMPARE(fastBaudCommand(115200), "B115200T05");
    }

    // 3600 samples at 240 per hour: 1500, 1500 and 600, each later block one
    // second after the end of the one before.
    void blocksOfARange() {
        const platform::DateTime start = encodeDateTime(2026, 12, 1, 8, 0, 0);
        BlockState b = nextBlock({}, false, false, start, 3600, 0, 240);
        QCOMPARE(b.count, 1500);
        QVERIFY(b.moreAfter);
        QCOMPARE(b.current, start);
        QCOMPARE(blockSampleCount(b.current, b.blockEnd, 240), 1500);
        const platform::DateTime firstEnd = b.blockEnd;

        b = nextBlock(b, true, false, start, 3600, 1500, 240);
        QCOMPARE(b.count, 1500);
        QCOMPARE(platform::roundToSecond(b.current),
                 platform::roundToSecond(firstEnd + platform::kSecond));
        const platform::DateTime secondStart = b.current;

        // A failed block is asked for again from its saved start.
        const BlockState repeat = nextBlock(b, true, true, start, 3600, 1500, 240);
        QCOMPARE(repeat.current, secondStart);
        QCOMPARE(repeat.retries, 1);

        b = nextBlock(b, true, false, start, 3600, 3000, 240);
        QCOMPARE(b.count, 600);
        QVERIFY(!b.moreAfter);
        QCOMPARE(b.retries, 0);
    }

    void rangeCounts() {
        const platform::DateTime start = encodeDateTime(2026, 12, 1, 8, 0, 0);
        QCOMPARE(rangeSampleCount(start, start + 1.0 / 24 * 15, 240), 3600);
        QCOMPARE(rangeSampleCount(start, start + 1, 0), 0);
        QCOMPARE(rangeSampleCount(start, start, 240), 0);
        // Centuries at one sample a second count past an int: held at its ends.
        const platform::DateTime early = encodeDate(1900, 1, 1), late = encodeDate(9000, 1, 1);
        QCOMPARE(rangeSampleCount(early, late, 3600), INT_MAX);
        QCOMPARE(rangeSampleCount(late, early, 3600), INT_MIN);
        QCOMPARE(rangeSampleCount(early, late, qQNaN()), 0);
    }

    void resolution_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<double>("startDate");
        QTest::addColumn<double>("startTime");
        QTest::addColumn<double>("endDate");
        QTest::addColumn<double>("endTime");
        QTest::addColumn<double>("expectStart");
        QTest::addColumn<double>("expectEnd");
        QTest::addColumn<QString>("error");
        // The logger holds 1 Dec 2026 08:00:00 to 7 Dec 2026 15:30:00.
        const double first = encodeDateTime(2026, 12, 1, 8, 0, 0);
        const double last = encodeDateTime(2026, 12, 7, 15, 30, 0);
        const double t1530 = encodeTime(15, 30, 0);
        QTest::newRow("all data") << int(AllData) << 0.0 << 0.0 << 0.0 << 0.0 << first << last
                                  << "";
        QTest::newRow("last week clamps the start")
            << int(LastWeek) << 0.0 << 0.0 << 0.0 << 0.0 << first << last << "";
        QTest::newRow("custom inside")
            << int(Custom) << encodeDate(2026, 12, 2) << t1530 << encodeDate(2026, 12, 3) << t1530
            << encodeDateTime(2026, 12, 2, 15, 30, 0) << encodeDateTime(2026, 12, 3, 15, 30, 0)
            << "";
        QTest::newRow("custom start earlier on the first day takes the first time")
            << int(Custom) << encodeDate(2026, 12, 1) << encodeTime(7, 0, 0)
            << encodeDate(2026, 12, 3) << t1530 << first << encodeDateTime(2026, 12, 3, 15, 30, 0)
            << "";
        QTest::newRow("custom end after the last day is clamped")
            << int(Custom) << encodeDate(2026, 12, 2) << t1530 << encodeDate(2026, 12, 9) << t1530
            << encodeDateTime(2026, 12, 2, 15, 30, 0) << last << "";
        QTest::newRow("custom end later on the last day is refused")
            << int(Custom) << encodeDate(2026, 12, 2) << t1530 << encodeDate(2026, 12, 7)
            << encodeTime(16, 0, 0) << encodeDateTime(2026, 12, 2, 15, 30, 0)
            << encodeDateTime(2026, 12, 7, 16, 0, 0)
            << "UPLOAD CANCELLED - End date or time out of range";
    }
    void resolution() {
        QFETCH(int, choice);
        QFETCH(double, startDate);
        QFETCH(double, startTime);
        QFETCH(double, endDate);
        QFETCH(double, endTime);
        QFETCH(double, expectStart);
        QFETCH(double, expectEnd);
        QFETCH(QString, error);
        const LoggerRange logger{encodeDate(2026, 12, 1), encodeTime(8, 0, 0),
                                 encodeDate(2026, 12, 7), encodeTime(15, 30, 0)};
        const ResolvedRange r =
            resolveRange(choice, {startDate, startTime, endDate, endTime}, logger, false, 0);
        QCOMPARE(r.error, error);
        QCOMPARE(platform::roundToSecond(r.pickers.startDate + r.pickers.startTime),
                 platform::roundToSecond(expectStart));
        QCOMPARE(platform::roundToSecond(r.pickers.endDate + r.pickers.endTime),
                 platform::roundToSecond(expectEnd));
    }

    void automaticDownloadStartsAtItsOwnStart() {
        const LoggerRange logger{encodeDate(2026, 12, 1), encodeTime(8, 0, 0),
                                 encodeDate(2026, 12, 7), encodeTime(15, 30, 0)};
        const double autoStart = encodeDateTime(2026, 12, 5, 12, 0, 0);
        const ResolvedRange r = resolveRange(AllData, {}, logger, true, autoStart);
        QCOMPARE(r.choice, int(Custom));
        QCOMPARE(platform::roundToSecond(r.pickers.startDate + r.pickers.startTime), autoStart);
    }

    void choicesFillThePickers() {
        const double now = encodeDateTime(2026, 3, 31, 10, 0, 0);
        const PickerRange month = pickersForChoice(LastMonth, now, {});
        QCOMPARE(month.startDate, encodeDate(2026, 2, 28));
        QCOMPARE(month.startTime, month.endTime);
        QCOMPARE(pickersForChoice(LastWeek, now, {}).startDate, encodeDate(2026, 3, 24));
        const PickerRange kept{1, 2, 3, 4};
        QCOMPARE(pickersForChoice(Custom, now, kept).endTime, 4.0);
    }
};

QTEST_APPLESS_MAIN(TestUploadPlan)
#include "test_upload_plan.moc"
