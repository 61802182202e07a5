#pragma once
// The colours of the chart's points, shared by the live drawing of an upload,
// the redraw from the store and the chart's own pens and axis titles.
#include <QColor>

namespace decode {

inline const QColor kTemperatureColour{255, 0, 0};
inline const QColor kRHColour{0, 0, 255};
// The first point after a sample without a reading, on either series.
inline const QColor kAfterGapColour{192, 192, 192};
// The "No data" placeholder of an empty chart.
inline const QColor kNoDataColour{128, 128, 128};

} // namespace decode
