#include "chart/chart_hover.h"
#include "model/event_kinds.h"
#include "platform/formatting.h"
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace chart {
namespace {

QString twoDecimals(double value) {
    return platform::floatToStr(std::floor(value * 100 + 0.5) / 100);
}

} // namespace

std::optional<std::size_t> nearestSample(const std::vector<platform::DateTime>& times, double x) {
    if (times.empty())
        return std::nullopt;
    const auto after = std::lower_bound(times.begin(), times.end(), x);
    if (after == times.begin())
        return 0;
    if (after == times.end())
        return times.size() - 1;
    const auto before = after - 1;
    return static_cast<std::size_t>((x - *before <= *after - x ? before : after) - times.begin());
}

QString eventNames(const QString& label) {
    QStringList names;
    for (const QString& part : label.split(", ", Qt::SkipEmptyParts)) {
        // One event: its text; n events: n, a blank, the text.
        const QStringList words = part.split(' ');
        const QString& text = words.last();
        // A label drawn during an upload or by a redraw from the store.
        const auto event = std::find_if(
            decode::kEventKindTable.begin(), decode::kEventKindTable.end(),
            [&](const decode::EventKind& e) { return text == e.label || text == e.liveLabel; });
        if (event == decode::kEventKindTable.end())
            return QString();
        names << (words.size() == 2 ? words.first() + " x " : QString()) + event->name;
    }
    return names.join(", ");
}

QString sampleTip(const SampleStore& store, std::size_t i, const Units& units,
                  const QString& eventLabel) {
    QStringList lines;
    lines << platform::formatDateTime(units.dateFormat, store.SampleTimes[i]);
    const float celsius = store.TempData[i];
    if (celsius >= kNoReadingThreshold)
        lines << "Temperature: no reading";
    else if (units.fahrenheit)
        lines << "Temperature: " + twoDecimals(celsius * 1.8 + 32) + " F";
    else
        lines << "Temperature: " + twoDecimals(celsius) + " C";
    if (units.rh && i < store.RHData.size()) {
        const float rh = store.RHData[i];
        lines << (rh >= kNoReadingThreshold ? QString("RH: no reading")
                                            : "RH: " + twoDecimals(rh) + " %");
    }
    const QString events = eventNames(eventLabel);
    if (!events.isEmpty())
        lines << "Events: " + events;
    return lines.join('\n');
}

} // namespace chart
