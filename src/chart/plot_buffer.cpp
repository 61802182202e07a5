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

    // The series read the samples where they lie: only the pieces where a
    // point's colour or store index jumps, and the labels, are built here.
    chart.Series1().clear();
    chart.Series2().clear();
    ChartSeries::StorePoints temperature{
        .times = &store.SampleTimes, .values = &store.TempData, .fahrenheit = options.TempInF};
    ChartSeries::StorePoints humidity{.times = &store.SampleTimes, .values = &store.RHData};
    decode::markSamples(run, events, eventFlag, true, decode::kRedrawRules, true,
                        [&](std::size_t from, std::size_t to, const decode::SamplePoints& points) {
                            if (points.temperature)
                                temperature.add(from, to, *points.temperature, QString());
                            if (points.humidity)
                                humidity.add(from, to, *points.humidity, points.label);
                        });
    chart.Series1().show(std::move(temperature));
    chart.Series2().show(std::move(humidity));
    return store.SampleTimes[n - 1];
}
