#pragma once
// What the chart tells about the point under the mouse: the nearest sample's
// time, temperature and %RH, and the names of the events that a label on the
// top axis stands for.
#include "model/sample_store.h"
#include <QString>
#include <optional>
#include <vector>

namespace chart {

// Index of the time nearest to x in an ascending list (binary search); the
// earlier one on a tie; nothing for an empty list.
std::optional<std::size_t> nearestSample(const std::vector<platform::DateTime>& times, double x);

// "2 ns, tas" -> "2 x new sensor fitted, temperature alarm start"; empty for a
// label that names no event (the "." that stands for none, "No data").
QString eventNames(const QString& label);

struct Units {
    bool fahrenheit = true;
    bool rh = false;
    QString dateFormat; // the selected date format
};

// The tip for sample i: its time, temperature (or "no reading") and, with RH,
// its %RH; then the event names of the label at that sample, if any.
QString sampleTip(const SampleStore& store, std::size_t i, const Units& units,
                  const QString& eventLabel);

} // namespace chart
