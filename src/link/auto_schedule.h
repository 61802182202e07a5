#pragma once
// Plain arithmetic of the automatic downloads: when the next one is due and
// where its range starts.
#include "platform/clock.h"

namespace bvlink {

// The first time on the logger's sample grid (first + k × interval, to the
// whole second) that is later than `newest`, the newest sample already saved;
// `first` itself when the interval is 0.
platform::DateTime nextSampleAfter(platform::DateTime first, platform::DateTime newest,
                                   platform::DateTime interval);

// Whether an automatic range from `start` to the logger's last sample holds
// no sample to fetch: it starts after the last one.
bool nothingNew(platform::DateTime start, platform::DateTime last, double samplesPerHour);

} // namespace bvlink
