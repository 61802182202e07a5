#include "decode/live_plot.h"
#include "decode/point_builder.h"
#include "model/sample_store.h"
#include <algorithm>
#include <utility>

namespace decode {
namespace {

// Points for the chart as ChartPoint values; the count starts at the points
// the series already holds.
class LivePoints {
  public:
    LivePoints(std::vector<ChartPoint>& points, int held) : m_points(points), m_held(held) {}
    void labelNext(const QString& label) { m_label = label; }
    void addPacked(double x, double y, QRgb colour) {
        m_points.push_back({x, y, std::exchange(m_label, QString()),
                            qAlpha(colour) != 0 ? QColor::fromRgba(colour) : QColor()});
    }
    std::size_t size() const { return m_held + m_points.size(); }

  private:
    std::vector<ChartPoint>& m_points;
    std::size_t m_held;
    QString m_label;
};

template <typename T> std::optional<T> lastOf(const std::vector<T>& values) {
    return values.empty() ? std::nullopt : std::optional<T>(values.back());
}

} // namespace

LiveDrawing commitPacket(SampleStore& store, const PacketLists& packet, bool tempInF,
                         int series1Count, int series2Count) {
    const std::size_t n = std::min(packet.temps.size(), packet.times.size());
    const std::size_t rhCount = std::min(packet.rh.size(), n);
    const SampleRun run{.times = std::span(packet.times).first(n),
                        .temps = std::span(packet.temps).first(n),
                        .rh = std::span(packet.rh).first(rhCount),
                        .firstIndex = store.TempData.size(),
                        .tempBefore = lastOf(store.TempData),
                        .rhBefore = lastOf(store.RHData)};
    EventTimes events;
    for (std::size_t k = 0; k < events.size(); ++k)
        events[k] = packet.events[k];
    // Only the upload's first packet looks for repeated events, within its own span.
    const bool eventFlag = n > 0 && store.TempData.empty() &&
                           eventsPresent(events, run.times.front(), run.times.back());

    store.SampleTimes.insert(store.SampleTimes.end(), packet.times.begin(), packet.times.end());
    auto storeLists = store.eventLists();
    for (std::size_t k = 0; k < events.size(); ++k)
        storeLists[k]->insert(storeLists[k]->end(), events[k].begin(), events[k].end());

    LiveDrawing drawing;
    // The first sample of an upload clears the chart.
    if (n > 0 && store.TempData.empty()) {
        drawing.clearFirst = true;
        series1Count = series2Count = 0;
    }
    LivePoints temperature(drawing.series1, series1Count), humidity(drawing.series2, series2Count);
    buildPoints(run, events, eventFlag, tempInF, kLiveRules, temperature, humidity);

    store.TempData.insert(store.TempData.end(), run.temps.begin(), run.temps.end());
    store.RHData.insert(store.RHData.end(), run.rh.begin(), run.rh.end());
    return drawing;
}

} // namespace decode
