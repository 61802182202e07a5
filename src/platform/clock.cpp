#include "platform/clock.h"
#include <QDate>
#include <QThread>
#include <cmath>

namespace platform {
namespace {

class SystemClock : public Clock {
  public:
    DateTime now() override { return fromQDateTime(QDateTime::currentDateTime()); }
    void pause(int milliseconds) override {
        if (milliseconds > 0)
            QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
};

SystemClock g_systemClock;
std::atomic<Clock*> g_clock{&g_systemClock};

// Julian day of 30 December 1899, day 0 of the date-time values.
constexpr qint64 kEpochJulianDay = 2415019;
constexpr qint64 kMsPerDay = 86400000;

} // namespace

Clock& clock() {
    return *g_clock.load();
}

void setClock(Clock* replacement) {
    g_clock.store(replacement ? replacement : &g_systemClock);
}

DateTime encodeDate(int year, int month, int day) {
    return static_cast<double>(QDate(year, month, day).toJulianDay() - kEpochJulianDay);
}

DateTime encodeTime(int hour, int minute, int second, int millisecond) {
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / kMsPerDay;
}

DateTime encodeDateTime(int year, int month, int day, int hour, int minute, int second) {
    return encodeDate(year, month, day) + encodeTime(hour, minute, second);
}

DateTimeParts decodeDateTime(DateTime t) {
    // Whole days and the time of day to the nearest millisecond, as the
    // platform's own decoding does.
    qint64 day = static_cast<qint64>(std::floor(t));
    qint64 ms = std::llround((t - static_cast<double>(day)) * kMsPerDay);
    if (ms >= kMsPerDay) {
        ++day;
        ms -= kMsPerDay;
    }
    const QDate date = QDate::fromJulianDay(day + kEpochJulianDay);
    DateTimeParts parts{};
    parts.year = date.year();
    parts.month = date.month();
    parts.day = date.day();
    parts.hour = static_cast<int>(ms / 3600000);
    parts.minute = static_cast<int>(ms / 60000 % 60);
    parts.second = static_cast<int>(ms / 1000 % 60);
    parts.millisecond = static_cast<int>(ms % 1000);
    return parts;
}

DateTime fromQDateTime(const QDateTime& value) {
    const QDate d = value.date();
    const QTime t = value.time();
    return encodeDate(d.year(), d.month(), d.day()) +
           encodeTime(t.hour(), t.minute(), t.second(), t.msec());
}

QDateTime toQDateTime(DateTime t) {
    const DateTimeParts p = decodeDateTime(t);
    return QDateTime(QDate(p.year, p.month, p.day),
                     QTime(p.hour, p.minute, p.second, p.millisecond));
}

DateTime roundToSecond(DateTime t) {
    return std::trunc(t * 86400.0 + 0.5) / 86400.0;
}

long long wholeSeconds(DateTime t) {
    return std::llround(t * 86400.0);
}

DateTime fromWholeSeconds(long long seconds) {
    return static_cast<double>(seconds) / 86400.0;
}

long long gridAtOrAfter(long long origin, long long step, long long second) {
    // Division truncates towards zero: one step more when it fell short.
    long long k = (second - origin) / step;
    if (origin + k * step < second)
        ++k;
    return origin + k * step;
}

} // namespace platform
