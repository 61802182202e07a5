#pragma once
// The temperature axis limits, automatic scaling and the %RH axis range that
// the chart preferences control.
#include <QString>

class Chart;
class QObject;
class QValidator;

// Which limit is set first: leaving the maximum edit sets the minimum first,
// leaving the minimum edit the maximum first.
enum class LimitOrder { MinimumFirst, MaximumFirst };

// Applies the limit edits to the left axis. Does nothing while either text
// holds no digit yet (empty, a lone "-"), or when the minimum exceeds the maximum. Raises
// platform::ConversionError for a text that is not a number and
// platform::ChartAxisError when the axis refuses a limit. The automatic flag
// is left alone.
void applyTempLimits(Chart& chart, const QString& minText, const QString& maxText,
                     LimitOrder order);

// Automatic scaling on: the left axis follows the data. Off: maximum, then
// minimum from the edits, then the axis becomes manual (an error on the way
// leaves it automatic).
void setAutoScale(Chart& chart, bool autoScale, const QString& minText, const QString& maxText);

// After a redraw: an automatic temperature axis is set back to follow the data.
void applyAutoScale(Chart& chart, bool autoScale);

// After a zoom or pan the %RH axis shows 0 to 100, setting the limits in the
// order that never puts the minimum above the maximum.
void resetRHAxis(Chart& chart);

// What the limit edits accept as the user types: a plain number with the
// decimal separator in force, or the start of one ("", "-", "12.").
QValidator* temperatureLimitValidator(QObject* parent);
