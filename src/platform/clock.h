#pragma once
// The clock and pause door. Date-time values count days since 30 December
// 1899, the fraction being the time of day (local time). The program uses the
// real clock; tests install a ManualClock to control "now" and make the
// protocol's pauses instant.
#include <QDateTime>
#include <atomic>

namespace platform {

using DateTime = double;

constexpr double kSecond = 1.0 / 86400.0;

class Clock {
  public:
    virtual ~Clock() = default;
    virtual DateTime now() = 0;
    // Blocks the calling thread; the pauses are part of the exchange with the logger.
    virtual void pause(int milliseconds) = 0;
};

// The clock in force. Thread-safe to read; install a replacement only while no
// other thread runs.
Clock& clock();
void setClock(Clock* clock); // nullptr restores the real clock

inline DateTime now() {
    return clock().now();
}
inline void pause(int milliseconds) {
    clock().pause(milliseconds);
}

// A clock for tests: "now" moves only when told to, pauses advance it instantly.
class ManualClock : public Clock {
  public:
    explicit ManualClock(DateTime start) : m_now(start) {}
    DateTime now() override { return m_now.load(); }
    void pause(int milliseconds) override { advanceSeconds(milliseconds / 1000.0); }
    void set(DateTime t) { m_now.store(t); }
    void advanceSeconds(double seconds) { m_now.store(m_now.load() + seconds * kSecond); }

  private:
    std::atomic<double> m_now;
};

// Conversions between date-time values and calendar fields.
DateTime encodeDate(int year, int month, int day);
DateTime encodeTime(int hour, int minute, int second, int millisecond = 0);
DateTime encodeDateTime(int year, int month, int day, int hour, int minute, int second);
struct DateTimeParts {
    int year, month, day, hour, minute, second, millisecond;
};
DateTimeParts decodeDateTime(DateTime t);
DateTime fromQDateTime(const QDateTime& value);
QDateTime toQDateTime(DateTime t);
// Whole seconds: trunc(t * 86400 + 0.5) / 86400.
DateTime roundToSecond(DateTime t);

// A time or a span in whole seconds, rounded to the nearest, so that a time
// read back from a file and the same time reached by arithmetic compare equal.
long long wholeSeconds(DateTime t);
DateTime fromWholeSeconds(long long seconds);

// The logger's sample grid, in whole seconds: the first time origin + k × step
// (k any whole number, step > 0) at or after `second`.
long long gridAtOrAfter(long long origin, long long step, long long second);

} // namespace platform
