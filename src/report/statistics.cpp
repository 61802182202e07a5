#include "report/statistics.h"
#include "model/sample_store.h"

namespace report {

Statistics computeStatistics(const SampleStore&, double, bool, const StatisticsOptions& options) {
    return {.fahrenheit = options.fahrenheit};
}

QJsonObject statisticsJson(const Statistics&) {
    return {};
}

QList<StatisticsRow> statisticsRows(const Statistics&) {
    return {};
}

QString statisticsText(const Statistics&) {
    return {};
}

} // namespace report
