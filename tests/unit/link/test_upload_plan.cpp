// Request texts, block arithmetic and range resolution of an upload.
#include "link/upload_plan.h"
#include "platform/formatting.h"
#include <QTest>
#include <climits>
#include <cmath>

using namespace bvlink;
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

    // The command carries six digits: a rate beyond them, or none, is no rate.
    void fastRates_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("rate");
        QTest::newRow("none") << "" << 57600;
        QTest::newRow("14400") << "14400" << 14400;
        QTest::newRow("six digits") << "999999" << 999999;
        QTest::newRow("leading zero") << "019200" << 19200;
        QTest::newRow("seven digits") << "1000000" << 0;
        QTest::newRow("beyond int") << "99999999999" << 0;
        QTest::newRow("zero") << "000000" << 0;
    }
    void fastRates() {
        QFETCH(QString, setting);
        QFETCH(int, rate);
        QCOMPARE(fastRateOf(setting), rate);
    }

    // 3600 samples: 1500, 1500 and 600, each later block one second after
    // the end of the one before, its end on the whole second of the
    // interval's grid, at rates whose interval divides an hour and not.
    void blocksOfARange_data() {
        QTest::addColumn<double>("perHour");
        QTest::addColumn<int>("seconds"); // the interval, rounded
        QTest::newRow("240 per hour") << 240.0 << 15;
        QTest::newRow("13 per hour") << 13.0 << 277;
        QTest::newRow("7 per hour") << 7.0 << 514;
        QTest::newRow("one every two hours") << 0.5 << 7200;
    }
    void blocksOfARange() {
        QFETCH(double, perHour);
        QFETCH(int, seconds);
        const platform::DateTime start = encodeDateTime(2026, 12, 1, 8, 0, 0);
        auto after = [&](qint64 s) { return start + s * platform::kSecond; };
        BlockState b = nextBlock({}, false, false, start, 3600, 0, perHour);
        QCOMPARE(b.count, 1500);
        QVERIFY(b.moreAfter);
        QCOMPARE(b.current, start);
        QCOMPARE(b.blockEnd, platform::roundToSecond(after(1500LL * seconds)));

        b = nextBlock(b, true, false, start, 3600, 1500, perHour);
        QCOMPARE(b.count, 1500);
        QCOMPARE(b.current, platform::roundToSecond(after(1500LL * seconds + 1)));
        const platform::DateTime secondStart = b.current;

        // A failed block is asked for again from its saved start.
        const BlockState repeat = nextBlock(b, true, true, start, 3600, 1500, perHour);
        QCOMPARE(repeat.current, secondStart);
        QCOMPARE(repeat.count, 1500);
        QCOMPARE(repeat.retries, 1);

        b = nextBlock(b, true, false, start, 3600, 3000, perHour);
        QCOMPARE(b.count, 600);
        QVERIFY(!b.moreAfter);
        QCOMPARE(b.retries, 0);
        QCOMPARE(b.current, platform::roundToSecond(after(3000LL * seconds + 2)));
    }

    void rangeCounts_data() {
        QTest::addColumn<double>("span"); // days
        QTest::addColumn<double>("perHour");
        QTest::addColumn<bool>("endsAtLast");
        QTest::addColumn<int>("count");
        QTest::newRow("half-open") << 15.0 / 24 << 240.0 << false << 3600;
        QTest::newRow("to the last sample") << 15.0 / 24 << 240.0 << true << 3601;
        QTest::newRow("one sample held") << 0.0 << 240.0 << true << 1;
        QTest::newRow("empty half-open") << 0.0 << 240.0 << false << 0;
        QTest::newRow("no rate") << 1.0 << 0.0 << true << 0;
        QTest::newRow("end before start") << -1.0 / 24 << 240.0 << true << -239;
        QTest::newRow("514 s grid") << 2999 * 514.0 / 86400 << 7.0 << true << 3000;
        // Centuries at one sample a second count past an int: held at its ends.
        const double centuries = encodeDate(9000, 1, 1) - encodeDate(1900, 1, 1);
        QTest::newRow("past an int") << centuries << 3600.0 << true << INT_MAX;
        QTest::newRow("past an int, backwards") << -centuries << 3600.0 << false << INT_MIN;
        QTest::newRow("no number") << 1.0 << qQNaN() << true << 0;
    }
    void rangeCounts() {
        QFETCH(double, span);
        QFETCH(double, perHour);
        QFETCH(bool, endsAtLast);
        QFETCH(int, count);
        const platform::DateTime start = encodeDateTime(2026, 12, 1, 8, 0, 0);
        QCOMPARE(rangeSampleCount(start, start + span, perHour, endsAtLast), count);
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
        QTest::addColumn<bool>("endsAtLast");
        // The logger holds 1 Dec 2026 08:00:00 to 7 Dec 2026 15:30:00.
        const double first = encodeDateTime(2026, 12, 1, 8, 0, 0);
        const double last = encodeDateTime(2026, 12, 7, 15, 30, 0);
        const double t1530 = encodeTime(15, 30, 0);
        QTest::newRow("all data") << int(AllData) << 0.0 << 0.0 << 0.0 << 0.0 << first << last << ""
                                  << true;
        QTest::newRow("last week clamps the start")
            << int(LastWeek) << 0.0 << 0.0 << 0.0 << 0.0 << first << last << "" << true;
        QTest::newRow("custom inside")
            << int(Custom) << encodeDate(2026, 12, 2) << t1530 << encodeDate(2026, 12, 3) << t1530
            << encodeDateTime(2026, 12, 2, 15, 30, 0) << encodeDateTime(2026, 12, 3, 15, 30, 0)
            << "" << false;
        QTest::newRow("custom start earlier on the first day takes the first time")
            << int(Custom) << encodeDate(2026, 12, 1) << encodeTime(7, 0, 0)
            << encodeDate(2026, 12, 3) << t1530 << first << encodeDateTime(2026, 12, 3, 15, 30, 0)
            << "" << false;
        QTest::newRow("custom end after the last day is clamped")
            << int(Custom) << encodeDate(2026, 12, 2) << t1530 << encodeDate(2026, 12, 9) << t1530
            << encodeDateTime(2026, 12, 2, 15, 30, 0) << last << "" << false;
        QTest::newRow("custom end later on the last day is refused")
            << int(Custom) << encodeDate(2026, 12, 2) << t1530 << encodeDate(2026, 12, 7)
            << encodeTime(16, 0, 0) << encodeDateTime(2026, 12, 2, 15, 30, 0)
            << encodeDateTime(2026, 12, 7, 16, 0, 0)
            << "UPLOAD CANCELLED - End date or time out of range" << false;
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
        QFETCH(bool, endsAtLast);
        const LoggerRange logger{encodeDate(2026, 12, 1), encodeTime(8, 0, 0),
                                 encodeDate(2026, 12, 7), encodeTime(15, 30, 0)};
        const ResolvedRange r = resolveRange(choice, {startDate, startTime, endDate, endTime},
                                             logger, 15 * platform::kSecond, false, 0);
        QCOMPARE(r.error, error);
        QCOMPARE(r.endsAtLast, endsAtLast);
        QCOMPARE(platform::roundToSecond(r.pickers.startDate + r.pickers.startTime),
                 platform::roundToSecond(expectStart));
        QCOMPARE(platform::roundToSecond(r.pickers.endDate + r.pickers.endTime),
                 platform::roundToSecond(expectEnd));
    }

    void automaticDownloadStartsAtItsOwnStart() {
        const LoggerRange logger{encodeDate(2026, 12, 1), encodeTime(8, 0, 0),
                                 encodeDate(2026, 12, 7), encodeTime(15, 30, 0)};
        const double autoStart = encodeDateTime(2026, 12, 5, 12, 0, 0);
        const ResolvedRange r =
            resolveRange(AllData, {}, logger, 15 * platform::kSecond, true, autoStart);
        QCOMPARE(r.choice, int(Custom));
        QVERIFY(r.endsAtLast);
        QCOMPARE(platform::roundToSecond(r.pickers.startDate + r.pickers.startTime), autoStart);
    }

    // "Last week" of a logger whose interval does not divide a week starts at
    // the first sample of that week, so every sample asked for is one the
    // logger holds, stamped at its own time.
    void rangesEndingAtTheLastSampleStartOnTheGrid() {
        const double interval = 514 * platform::kSecond;
        const double first = encodeDateTime(2026, 12, 1, 0, 0, 0);
        const double last = first + 3000 * interval;
        const LoggerRange logger{std::floor(first), first - std::floor(first), std::floor(last),
                                 last - std::floor(last)};
        const ResolvedRange r = resolveRange(LastWeek, {}, logger, interval, false, 0);
        QVERIFY(r.error.isEmpty());
        const double start = r.pickers.startDate + r.pickers.startTime;
        // A week is 1176.65 intervals: the range holds the last 1177 samples.
        QCOMPARE(platform::roundToSecond(start), platform::roundToSecond(last - 1176 * interval));
        QCOMPARE(rangeSampleCount(start, r.pickers.endDate + r.pickers.endTime, 7, r.endsAtLast),
                 1177);
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
