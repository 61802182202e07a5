#include "decode/live_plot.h"
#include "app/sample_store.h"

namespace decode {
namespace {

const char* const kLabels[kEventKinds] = {"ns", "tas", "RHas", "tae", "RHae", "tb", "te"};

// Whether the first packet of an upload holds a repeated event inside its own
// time span; a lone first point without a label is then left unmarked.
bool firstPacketHasEvents(const PacketLists& packet) {
    const platform::DateTime first = packet.times.front();
    const platform::DateTime last = packet.times.back();
    for (int k = 0; k < kEventKinds - 1; ++k) { // test ends are not looked at
        const auto& list = packet.events[k];
        if (list.size() >= 2 && first <= list.back() && list.back() <= last)
            return true;
    }
    return false;
}

QString labelFor(int count, int kind) {
    const QString text = QString::fromLatin1(kLabels[kind]);
    return count == 1 ? text : QString::number(count) + " " + text;
}

} // namespace

LiveDrawing commitPacket(SampleStore& store, const PacketLists& packet, bool tempInF,
                         int series1Count, int series2Count) {
    LiveDrawing drawing;
    store.SampleTimes.insert(store.SampleTimes.end(), packet.times.begin(), packet.times.end());
    auto storeLists = store.eventLists();
    for (int k = 0; k < kEventKinds; ++k)
        storeLists[k]->insert(storeLists[k]->end(), packet.events[k].begin(),
                              packet.events[k].end());

    const bool eventsPresent =
        !packet.temps.empty() && store.TempData.empty() && firstPacketHasEvents(packet);

    std::array<std::size_t, kEventKinds> cursor{};
    std::size_t rhCursor = 0;
    store.TempData.reserve(store.TempData.size() + packet.temps.size());
    for (std::size_t i = 0; i < packet.temps.size(); ++i) {
        const float t = packet.temps[i];
        const platform::DateTime x = packet.times[i];
        const double y = tempInF ? t * 1.8 + 32 : t;
        QString label;
        for (int k = 0; k < kEventKinds; ++k) {
            // The upload's first sample counts as a new sensor of its own.
            int count = (k == 0 && store.TempData.empty()) ? 1 : 0;
            const auto& list = packet.events[k];
            while (cursor[k] < list.size() && list[cursor[k]] <= x) {
                ++cursor[k];
                ++count;
            }
            if (count == 0)
                continue;
            if (!label.isEmpty())
                label += ", ";
            label += labelFor(count, k);
        }
        if (store.TempData.empty()) {
            drawing.clearFirst = true;
            series1Count = series2Count = 0;
        }
        if (series1Count == 0 && series2Count == 0 && !eventsPresent && label.isEmpty())
            label = ".";
        bool temperatureDrawn = false;
        if (t < kNoReading) {
            const bool afterGap = !store.TempData.empty() && store.TempData.back() == kNoReading;
            drawing.series1.push_back(
                {x, y, QString(), afterGap ? kAfterGapColour : kTemperatureColour});
            ++series1Count;
            temperatureDrawn = true;
        }
        if (rhCursor < packet.rh.size()) {
            const float r = packet.rh[rhCursor++];
            if (r < kNoReading) {
                const bool afterGap = !store.RHData.empty() && store.RHData.back() == kNoReading;
                drawing.series2.push_back({x, r, label, afterGap ? kAfterGapColour : kRHColour});
                ++series2Count;
            }
            store.RHData.push_back(r);
        } else if (temperatureDrawn) {
            // Without RH the labels ride on an undrawn point at height = point count.
            drawing.series2.push_back({x, double(series2Count), label, QColor()});
            ++series2Count;
        }
        store.TempData.push_back(t);
    }
    return drawing;
}

} // namespace decode
