// The range pickers read and set as date-time values: whole days, whole
// seconds, and a time of day that rounds into the next day.
#include "link/range_pickers.h"
#include <QApplication>
#include <QDateEdit>
#include <QTest>
#include <QTimeEdit>

namespace {

const QDate kEpoch(1899, 12, 30); // day 0 of the date-time values

double days(const QDateTime& t) {
    return kEpoch.daysTo(t.date()) + t.time().msecsSinceStartOfDay() / 86'400'000.0;
}

} // namespace

class TestRangePickers : public QObject {
    Q_OBJECT

    QDateEdit m_date;
    QTimeEdit m_time;

  private slots:
    void initTestCase() { m_time.setDisplayFormat("HH:mm:ss"); } // as the window shows it

    // Reading: the date as whole days, the time as whole seconds of the day
    // (milliseconds the picker may hold are dropped).
    void read_data() {
        QTest::addColumn<QDateTime>("shown");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("day 0, midnight")
            << QDateTime(kEpoch, QTime(0, 0)) << QDateTime(kEpoch, QTime(0, 0));
        QTest::newRow("noon") << QDateTime(QDate(2008, 12, 31), QTime(12, 0))
                              << QDateTime(QDate(2008, 12, 31), QTime(12, 0));
        QTest::newRow("last second of a day") << QDateTime(QDate(2026, 12, 9), QTime(23, 59, 59))
                                              << QDateTime(QDate(2026, 12, 9), QTime(23, 59, 59));
        QTest::newRow("milliseconds dropped") << QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0, 900))
                                              << QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0));
        QTest::newRow("leap day") << QDateTime(QDate(2028, 2, 29), QTime(6, 30, 15))
                                  << QDateTime(QDate(2028, 2, 29), QTime(6, 30, 15));
    }
    void read() {
        QFETCH(QDateTime, shown);
        QFETCH(QDateTime, expected);
        m_date.setDate(shown.date());
        m_time.setTime(shown.time());
        QCOMPARE(bvlink::pickerDate(&m_date), double(kEpoch.daysTo(expected.date())));
        QCOMPARE(bvlink::pickerTime(&m_time),
                 expected.time().msecsSinceStartOfDay() / 86'400'000.0);
        QCOMPARE(bvlink::pickerDateTime(&m_date, &m_time), days(expected));
    }

    // Setting: day and time of day together, rounded to the whole second, so
    // a time of day just short of midnight moves the date on.
    void set_data() {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<double>("seconds"); // of the time of day
        QTest::addColumn<QDateTime>("expected");
        const QDate dec9(2026, 12, 9);
        QTest::newRow("whole second") << dec9 << 36000.0 << QDateTime(dec9, QTime(10, 0, 0));
        QTest::newRow("rounds down") << dec9 << 36000.4 << QDateTime(dec9, QTime(10, 0, 0));
        QTest::newRow("rounds up") << dec9 << 36000.6 << QDateTime(dec9, QTime(10, 0, 1));
        QTest::newRow("into the next day")
            << dec9 << 86399.6 << QDateTime(QDate(2026, 12, 10), QTime(0, 0));
        QTest::newRow("into the next year")
            << QDate(2026, 12, 31) << 86399.7 << QDateTime(QDate(2027, 1, 1), QTime(0, 0));
        QTest::newRow("day 0") << kEpoch << 0.0 << QDateTime(kEpoch, QTime(0, 0));
    }
    void set() {
        QFETCH(QDate, day);
        QFETCH(double, seconds);
        QFETCH(QDateTime, expected);
        bvlink::setPickers(&m_date, &m_time, kEpoch.daysTo(day), seconds / 86400.0);
        QCOMPARE(QDateTime(m_date.date(), m_time.time()), expected);
        QCOMPARE(bvlink::pickerDateTime(&m_date, &m_time), days(expected));
    }
};

QTEST_MAIN(TestRangePickers)
#include "test_range_pickers.moc"
