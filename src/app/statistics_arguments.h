#pragma once
// The command line's choices for the statistics: --unit, --limits and
// --mkt-energy. Each stores its value in the options or says why it is refused.
#include "report/statistics.h"
#include <QString>
#include <optional>

namespace app {

// "C" or "F".
std::optional<QString> applyUnit(report::StatisticsOptions& options, const QString& value);
// "LOW:HIGH" in the chosen unit, either side (not both) left empty, LOW <= HIGH.
std::optional<QString> applyLimits(report::StatisticsOptions& options, const QString& value);
// The activation energy in kJ/mol.
std::optional<QString> applyActivationEnergy(report::StatisticsOptions& options,
                                             const QString& value);

} // namespace app
