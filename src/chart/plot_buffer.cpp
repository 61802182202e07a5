#include "chart/plot_buffer.h"
#include "chart/chart.h"
#include "decode/point_builder.h"
#include "model/sample_store.h"
#include <algorithm>

std::optional<platform::DateTime> PlotBuffer(const SampleStore& store, const PlotOptions& options,
                                             Chart& chart) {
    // A sample without a time cannot be placed, and one without an RH entry
    // has no RH reading.
    const std::size_t n = std::min(store.TempData.size(), store.SampleTimes.size());
    if (n == 0)
        return std::nullopt;
    const std::size_t rhCount = options.RHBV ? std::min(store.RHData.size(), n) : 0;
    const decode::SampleRun run{.times = std::span(store.SampleTimes).first(n),
                                .temps = std::span(store.TempData).first(n),
                                .rh = std::span(store.RHData).first(rhCount)};
    decode::EventTimes events;
    const auto lists = store.eventLists();
    for (std::size_t k = 0; k < events.size(); ++k)
        events[k] = *lists[k];
    const bool eventFlag = decode::eventsPresent(events, run.times.front(), run.times.back());

    // The old points go before the new ones are built, not after.
    chart.Series1().clear();
    chart.Series2().clear();
    ChartSeries::Batch temperature, humidity;
    temperature.reserve(n);
    humidity.reserve(n);
    decode::buildPoints(run, events, eventFlag, options.TempInF, decode::kRedrawRules, temperature,
                        humidity);

    chart.Series1().append(std::move(temperature));
    chart.Series2().append(std::move(humidity));
    return store.SampleTimes[n - 1];
}
