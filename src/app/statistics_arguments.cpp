#include "app/statistics_arguments.h"
#include <QLocale>
#include <cmath>

namespace app {
namespace {

// Beyond this the exponent of the kinetic mean leaves any sense; real
// products lie between about 40 and 200.
constexpr double kLargestActivationEnergy = 10000;

// A number as written on a command line: "." for the decimal point whatever
// the locale, finite.
std::optional<double> number(const QString& text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QString> applyUnit(report::StatisticsOptions& options, const QString& value) {
    if (value != "C" && value != "F")
        return "--unit takes C or F";
    options.fahrenheit = value == "F";
    return std::nullopt;
}

std::optional<QString> applyLimits(report::StatisticsOptions& options, const QString& value) {
    const QString refusal = "--limits takes LOW:HIGH, numbers such as 35.6:46.4 (either side may "
                            "be left empty, as in :46.4)";
    // Counted before the split, which would make a string of every piece.
    if (value.count(u':') != 1)
        return refusal;
    const QStringList sides = value.split(':');
    if (sides[0].trimmed().isEmpty() && sides[1].trimmed().isEmpty())
        return refusal;
    std::optional<double> limit[2];
    for (int i = 0; i < 2; ++i) {
        if (sides[i].trimmed().isEmpty())
            continue;
        limit[i] = number(sides[i]);
        if (!limit[i])
            return refusal;
    }
    if (limit[0] && limit[1] && *limit[0] > *limit[1])
        return "--limits: LOW " + sides[0] + " is above HIGH " + sides[1];
    options.low = limit[0];
    options.high = limit[1];
    return std::nullopt;
}

std::optional<QString> applyActivationEnergy(report::StatisticsOptions& options,
                                             const QString& value) {
    const std::optional<double> energy = number(value);
    if (!energy || *energy <= 0 || *energy > kLargestActivationEnergy)
        return QString("--mkt-energy takes the activation energy in kJ/mol, above 0 and up to %1 "
                       "(%2 when not given)")
            .arg(kLargestActivationEnergy)
            .arg(report::kDefaultActivationEnergy);
    options.activationEnergy = *energy;
    return std::nullopt;
}

} // namespace app
