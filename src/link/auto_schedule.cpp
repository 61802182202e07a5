#include "link/auto_schedule.h"
#include "decode/sample_words.h"
#include <cmath>

namespace autodl {
namespace {

// Whole seconds, so that a time read back from a file and the same time
// reached by arithmetic compare equal.
long long seconds(platform::DateTime t) {
    return std::llround(t * 86400.0);
}

} // namespace

platform::DateTime nextSampleAfter(platform::DateTime first, platform::DateTime newest,
                                   platform::DateTime interval) {
    const long long step = seconds(interval);
    if (step <= 0)
        return first;
    const long long from = seconds(first);
    const long long until = seconds(newest);
    long long t = from + (until - from) / step * step;
    while (t <= until)
        t += step;
    return static_cast<double>(t) / 86400.0;
}

bool nothingNew(platform::DateTime start, platform::DateTime last, double samplesPerHour) {
    // The automatic range ends at the last sample and includes it, so it
    // holds a sample unless it starts after the last one. A logger without a
    // storage interval is an invalid range, not an idle one.
    if (decode::SampleIntervalDays(samplesPerHour) <= 0)
        return false;
    return seconds(start) > seconds(last);
}

} // namespace autodl
