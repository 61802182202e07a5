#pragma once
// What a user asks after a download, computed from the store: counts, times,
// extremes, mean and spread, mean kinetic temperature, the logger's alarm
// episodes, other events, gaps and excursions beyond the user's limits.
// Plain values and functions; one pass over the samples (or over the range
// asked for, found by binary search) in blocks whose sums combine, or the
// sums of an earlier pass, no allocation per sample.
#include "platform/clock.h"
#include <QJsonObject>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

struct SampleStore;

namespace report {

constexpr double kDefaultActivationEnergy = 83.144; // kJ/mol, the rules' usual ΔH
constexpr double kGasConstant = 8.3144598;          // J/(mol·K)

// A part of the data: the samples and events within [from, to]; an alarm
// episode that reaches beyond the part's first or last sample is cut at that
// sample and counts as open there.
struct TimeRange {
    platform::DateTime from = 0, to = 0;
};

struct StatisticsOptions {
    bool fahrenheit = true;                             // temperatures in °F, else °C
    std::optional<double> low{}, high{};                // the user's limits, display unit
    double activationEnergy = kDefaultActivationEnergy; // ΔH in kJ/mol, > 0
    std::optional<TimeRange> range{};                   // only this part of the data
};

// One measured quantity over its readings; every value is missing without one.
struct QuantityStatistics {
    long long readings = 0;                             // samples with a reading (below 9998)
    std::optional<double> min{}, max{};                 // display unit (%RH for RH)
    std::optional<platform::DateTime> minAt{}, maxAt{}; // first occurrence
    std::optional<double> mean{}, stdev{};              // arithmetic mean, population deviation
    std::optional<double> mkt{};                        // mean kinetic temperature (temperature)
};

struct Episode {
    platform::DateTime start = 0, end = 0;
    long long durationSeconds = 0;
    std::optional<double> min{}, max{}; // the quantity's readings within [start, end]
    bool openAtStart = false;           // an end with no start before it: from the first sample
    bool openAtEnd = false;             // a start with no end: to the last sample
};

struct AlarmStatistics {
    std::vector<Episode> episodes{}; // in time order
    long long totalSeconds = 0;
    long long longestSeconds = 0;
};

// Runs of consecutive readings beyond one limit; a missing reading ends a run.
struct Excursions {
    long long seconds = 0;        // readings beyond the limit × interval
    long long count = 0;          // maximal runs of them
    long long longestSeconds = 0; // the longest run × interval
};

struct LimitStatistics {
    std::optional<double> low{}, high{}; // as given, display unit
    Excursions below{}, above{};
};

struct Statistics {
    bool fahrenheit = true;                             // the unit of every temperature below
    double activationEnergy = kDefaultActivationEnergy; // ΔH of the MKT, kJ/mol
    long long samples = 0;                              // samples in the data (or range)
    long long readings = 0;                             // with a temperature reading
    long long missing = 0;                              // without (9998 and above)
    std::optional<platform::DateTime> first{}, last{};  // first and last sample time
    long long spanSeconds = 0;                          // last - first
    std::optional<long long> intervalSeconds{}; // the storage interval (none without samples)
    QuantityStatistics temperature{};
    std::optional<QuantityStatistics> rh{}; // none when the data carry no RH
    AlarmStatistics temperatureAlarms{}, rhAlarms{};
    long long newSensorEvents = 0, testStarts = 0, testEnds = 0;
    long long longestGapSeconds = 0;         // the longest run of missing readings
    std::optional<LimitStatistics> limits{}; // none when no limit was given
};

// The sums of the samples block by block for one choice of unit, limits and
// ΔH: with them the statistics of any range cost the sums of its whole
// blocks and the few samples at its two ends, however many it holds. Built
// once per change of the data or of those choices, not per zoom.
struct StatisticsIndex;
std::shared_ptr<const StatisticsIndex> indexStatistics(const SampleStore& store,
                                                       const StatisticsOptions& options);
// Whether the index was built for these choices (the range aside) and for a
// store of this size and span; the caller drops it when the data change.
bool indexFits(const StatisticsIndex& index, const SampleStore& store,
               const StatisticsOptions& options);

// With an index that fits, from its sums; otherwise from the samples.
Statistics computeStatistics(const SampleStore& store, double samplesPerHour, bool hasRH,
                             const StatisticsOptions& options,
                             const StatisticsIndex* index = nullptr);

// The --stats object: numbers as JSON numbers, a missing value as null.
QJsonObject statisticsJson(const Statistics& statistics);

// The table that the window shows and the report prints, in the user's
// formats, "—" for a missing value.
struct StatisticsRow {
    QString label;
    QString value;
};
QList<StatisticsRow> statisticsRows(const Statistics& statistics);
// One row per alarm episode, temperature first, in time order.
QList<StatisticsRow> episodeRows(const Statistics& statistics);
// The rows and then the episode rows as text, one "label<TAB>value" line
// each (the clipboard's copy).
QString statisticsText(const Statistics& statistics);

} // namespace report
