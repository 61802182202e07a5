#include "chart/axis_preferences.h"
#include "chart/chart.h"
#include "platform/formatting.h"
#include <QRegularExpression>
#include <QValidator>
#include <algorithm>

namespace {

// A number being typed: nothing, "-", or a separator without a digit yet.
bool isIncomplete(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

class TemperatureLimitValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        const QString separator =
            QRegularExpression::escape(QString(platform::formatSettings().decimalSeparator));
        const QRegularExpression number("^-?\\d*(" + separator + "\\d*)?$");
        return number.match(input).hasMatch() ? Acceptable : Invalid;
    }
};

} // namespace

void applyTempLimits(Chart& chart, const QString& minText, const QString& maxText,
                     LimitOrder order) {
    if (isIncomplete(minText) || isIncomplete(maxText))
        return;
    const double minimum = platform::strToFloat(minText);
    const double maximum = platform::strToFloat(maxText);
    if (minimum > maximum)
        return;
    ChartAxis& axis = chart.LeftAxis();
    if (order == LimitOrder::MinimumFirst) {
        axis.setMinimum(minimum);
        axis.setMaximum(maximum);
    } else {
        axis.setMaximum(maximum);
        axis.setMinimum(minimum);
    }
}

void setAutoScale(Chart& chart, bool autoScale, const QString& minText, const QString& maxText) {
    ChartAxis& axis = chart.LeftAxis();
    if (autoScale) {
        axis.setAutomatic(true);
        return;
    }
    axis.setMaximum(platform::strToFloat(maxText));
    axis.setMinimum(platform::strToFloat(minText));
    axis.setAutomatic(false);
}

void applyAutoScale(Chart& chart, bool autoScale) {
    if (autoScale)
        chart.LeftAxis().setAutomatic(true);
}

void resetRHAxis(Chart& chart) {
    ChartAxis& axis = chart.RightAxis();
    if (axis.maximum() > 0) {
        axis.setMinimum(0);
        axis.setMaximum(100);
    } else {
        axis.setMaximum(100);
        axis.setMinimum(0);
    }
}

QValidator* temperatureLimitValidator(QObject* parent) {
    return new TemperatureLimitValidator(parent);
}
