// Where an automatic download's range starts, and when it has nothing to fetch.
#include "link/auto_schedule.h"
#include "platform/formatting.h"
#include <QTest>

using platform::DateTime;
using platform::encodeDateTime;
using platform::kSecond;

namespace {

// To the second, so that a failure names the time.
QString text(DateTime t) {
    return platform::formatDateTimeFixed("yyyy/mm/dd hh:nn:ss", t);
}

const DateTime kFirst = encodeDateTime(2026, 12, 1, 8, 0, 0);

} // namespace

class TestAutoSchedule : public QObject {
    Q_OBJECT
  private slots:
    // The next sample after the newest saved one, on the logger's grid from
    // its first sample. A saved time within half a second of a grid time is
    // that grid time (the files keep whole seconds).
    void nextSampleAfter_data() {
        QTest::addColumn<DateTime>("first");
        QTest::addColumn<DateTime>("newest");
        QTest::addColumn<int>("intervalSeconds");
        QTest::addColumn<DateTime>("expected");
        QTest::newRow("newest is the first")
            << kFirst << kFirst << 15 << encodeDateTime(2026, 12, 1, 8, 0, 15);
        QTest::newRow("between two samples") << kFirst << encodeDateTime(2026, 12, 1, 8, 0, 14)
                                             << 15 << encodeDateTime(2026, 12, 1, 8, 0, 15);
        QTest::newRow("on a sample") << kFirst << encodeDateTime(2026, 12, 1, 8, 0, 15) << 15
                                     << encodeDateTime(2026, 12, 1, 8, 0, 30);
        QTest::newRow("0.4 s before a sample is that sample")
            << kFirst << encodeDateTime(2026, 12, 1, 8, 0, 30) - 0.4 * kSecond << 15
            << encodeDateTime(2026, 12, 1, 8, 0, 45);
        QTest::newRow("0.6 s before a sample is the second before")
            << kFirst << encodeDateTime(2026, 12, 1, 8, 0, 30) - 0.6 * kSecond << 15
            << encodeDateTime(2026, 12, 1, 8, 0, 30);
        // 3 days = 259200 s = 504 × 514 s + 144 s: sample 505, at 3 days
        // and 370 s, is next.
        QTest::newRow("514 s grid, days later") << kFirst << encodeDateTime(2026, 12, 4, 8, 0, 0)
                                                << 514 << encodeDateTime(2026, 12, 4, 8, 6, 10);
        QTest::newRow("across a month's end")
            << encodeDateTime(2026, 11, 30, 23, 59, 45) << encodeDateTime(2026, 11, 30, 23, 59, 50)
            << 15 << encodeDateTime(2026, 12, 1, 0, 0, 0);
        // A logger started again after the newest saved sample: the grid runs
        // back from its first sample (the range resolution then starts at it).
        QTest::newRow("newest before the first") << kFirst << encodeDateTime(2026, 12, 1, 7, 59, 40)
                                                 << 15 << encodeDateTime(2026, 12, 1, 7, 59, 45);
        QTest::newRow("no interval")
            << kFirst << encodeDateTime(2026, 12, 2, 0, 0, 0) << 0 << kFirst;
    }
    void nextSampleAfter() {
        QFETCH(DateTime, first);
        QFETCH(DateTime, newest);
        QFETCH(int, intervalSeconds);
        QFETCH(DateTime, expected);
        QCOMPARE(text(bvlink::nextSampleAfter(first, newest, intervalSeconds * kSecond)),
                 text(expected));
    }

    // The automatic range runs from its start to the logger's last sample,
    // that one included, compared to the whole second.
    void nothingNew_data() {
        QTest::addColumn<DateTime>("start");
        QTest::addColumn<double>("perHour");
        QTest::addColumn<bool>("nothing");
        const DateTime last = encodeDateTime(2026, 12, 7, 15, 30, 0);
        QTest::newRow("starts at the last sample") << last << 240.0 << false;
        QTest::newRow("starts before it") << last - 15 * kSecond << 240.0 << false;
        QTest::newRow("starts a second after it") << last + kSecond << 240.0 << true;
        QTest::newRow("0.4 s after it is the same second")
            << last + 0.4 * kSecond << 240.0 << false;
        QTest::newRow("starts a day after it") << last + 1.0 << 240.0 << true;
        QTest::newRow("no storage interval is no idle logger") << last + 1.0 << 0.0 << false;
    }
    void nothingNew() {
        QFETCH(DateTime, start);
        QFETCH(double, perHour);
        QFETCH(bool, nothing);
        QCOMPARE(bvlink::nothingNew(start, encodeDateTime(2026, 12, 7, 15, 30, 0), perHour),
                 nothing);
    }
};

QTEST_GUILESS_MAIN(TestAutoSchedule)
#include "test_auto_schedule.moc"
