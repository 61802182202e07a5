// Any value given to --unit, --limits or --mkt-energy is refused with a
// reason that names its option and leaves the choices as they were, or is
// stored as a choice that the statistics and their table can use.
#include "app/statistics_arguments.h"
#include "model/sample_store.h"
#include "report/statistics.h"
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>

namespace {

// A day's cold-room readings with a gap, around any limit worth trying.
const SampleStore& readings() {
    static SampleStore store;
    if (store.SampleTimes.empty()) {
        const float temps[] = {2.5f, 3.9f, kNoReading, 8.4f, -1.2f, 4.0f};
        for (int i = 0; i < 6; ++i) {
            store.SampleTimes.push_back(platform::encodeDateTime(2026, 12, 1, 0, 0, 0) + i / 24.0);
            store.TempData.push_back(temps[i]);
            store.RHData.push_back(40.0f + i);
        }
    }
    return store;
}

bool finiteOrNone(const std::optional<double>& value) {
    return !value || std::isfinite(*value);
}

// Whether these options are new here. The statistics depend on the input only
// through them, and most inputs leave them as they were or repeat a choice
// already tried, whose table of a few hundred strings is the bulk of the work.
bool firstSeen(const report::StatisticsOptions& options) {
    static std::set<std::array<std::uint64_t, 6>> seen;
    if (seen.size() >= 100'000) // a long run tries more limits than are worth keeping
        seen.clear();
    const auto bits = [](double value) { return std::bit_cast<std::uint64_t>(value); };
    return seen
        .insert({options.fahrenheit, options.low.has_value(), bits(options.low.value_or(0)),
                 options.high.has_value(), bits(options.high.value_or(0)),
                 bits(options.activationEnergy)})
        .second;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // UTF-8, as the shell hands arguments over.
    const QString value =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const report::StatisticsOptions defaults;
    report::StatisticsOptions options;

    if (const std::optional<QString> refused = app::applyUnit(options, value)) {
        if (!refused->startsWith("--unit") || options.fahrenheit != defaults.fahrenheit)
            std::abort();
    } else if (value != "C" && value != "F") {
        std::abort();
    }

    if (const std::optional<QString> refused = app::applyLimits(options, value)) {
        if (!refused->startsWith("--limits") || options.low || options.high)
            std::abort();
    } else if ((!options.low && !options.high) || !finiteOrNone(options.low) ||
               !finiteOrNone(options.high) ||
               (options.low && options.high && *options.low > *options.high)) {
        std::abort();
    }

    if (const std::optional<QString> refused = app::applyActivationEnergy(options, value)) {
        if (!refused->startsWith("--mkt-energy") ||
            options.activationEnergy != defaults.activationEnergy)
            std::abort();
    } else if (!(options.activationEnergy > 0 && options.activationEnergy <= 10000)) {
        std::abort();
    }

    // What was taken shapes the statistics and the table without fault.
    if (!firstSeen(options))
        return 0;
    const report::Statistics statistics = report::computeStatistics(readings(), 24, true, options);
    if (statistics.limits.has_value() != (options.low || options.high))
        std::abort();
    report::statisticsRows(statistics);
    return 0;
}
