#include "link/auto_schedule.h"
#include "decode/sample_words.h"

namespace bvlink {

platform::DateTime nextSampleAfter(platform::DateTime first, platform::DateTime newest,
                                   platform::DateTime interval) {
    const long long step = platform::wholeSeconds(interval);
    if (step <= 0)
        return first;
    return platform::fromWholeSeconds(platform::gridAtOrAfter(platform::wholeSeconds(first), step,
                                                              platform::wholeSeconds(newest) + 1));
}

bool nothingNew(platform::DateTime start, platform::DateTime last, double samplesPerHour) {
    // The automatic range ends at the last sample and includes it, so it
    // holds a sample unless it starts after the last one. A logger without a
    // storage interval is an invalid range, not an idle one.
    if (decode::SampleIntervalDays(samplesPerHour) <= 0)
        return false;
    return platform::wholeSeconds(start) > platform::wholeSeconds(last);
}

} // namespace bvlink
