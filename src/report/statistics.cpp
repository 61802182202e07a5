#include "report/statistics.h"
#include "decode/sample_words.h"
#include "model/sample_store.h"
#include "platform/formatting.h"
#include <QJsonArray>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace report {
namespace {

using platform::DateTime;

constexpr double kZeroCelsiusInKelvin = 273.15;

// The chart's rule, and a guard against values that no arithmetic survives.
// (NaN fails both comparisons.)
bool isReading(float value) {
    return value < kNoReadingThreshold && value > -std::numeric_limits<float>::infinity();
}

// The unit that temperatures are shown in, as a scale and an offset from °C
// (1 and 0 give °C exactly).
struct DisplayUnit {
    double scale = 1, offset = 0;
    double of(double celsius) const { return celsius * scale + offset; }
};

DisplayUnit displayUnit(bool fahrenheit) {
    return fahrenheit ? DisplayUnit{.scale = 1.8, .offset = 32} : DisplayUnit{};
}

// Count, extremes with the index of their first occurrence, and the sums of
// the mean and the spread, taken about the first value so that large offsets
// lose no digits. Indices rather than times keep the time list out of the
// pass over the readings.
class Moments {
  public:
    void add(double value, size_t index) {
        if (m_count == 0) {
            m_shift = value;
            m_min = m_max = value;
            m_minAt = m_maxAt = index;
        } else if (value < m_min) {
            m_min = value;
            m_minAt = index;
        } else if (value > m_max) {
            m_max = value;
            m_maxAt = index;
        }
        const double d = value - m_shift;
        m_sum += d;
        m_sumOfSquares += d * d;
        ++m_count;
    }
    long long count() const { return m_count; }
    size_t minIndex() const { return m_minAt; }
    QuantityStatistics result(const std::vector<DateTime>& times) const {
        QuantityStatistics q{.readings = m_count};
        if (m_count == 0)
            return q;
        const double n = double(m_count);
        const double meanOffset = m_sum / n;
        q.min = m_min;
        q.max = m_max;
        q.minAt = times[m_minAt];
        q.maxAt = times[m_maxAt];
        q.mean = m_shift + meanOffset;
        q.stdev = std::sqrt(std::max(0.0, m_sumOfSquares / n - meanOffset * meanOffset));
        return q;
    }

  private:
    long long m_count = 0;
    double m_shift = 0, m_sum = 0, m_sumOfSquares = 0;
    double m_min = 0, m_max = 0;
    size_t m_minAt = 0, m_maxAt = 0;
};

// The mean of exp(-ΔH/(R·T)) over the readings, for the mean kinetic
// temperature. Each term is kept relative to the largest so far, the warmest
// reading's, so that none underflows: a warmer reading rescales the sum once.
// A logger's readings take few distinct values (whole steps of its converter,
// two decimals in a file), so the terms are remembered by value; a rescale
// makes the remembered ones stale.
class KineticMean {
  public:
    explicit KineticMean(double activationEnergy)
        : m_ratio(activationEnergy * 1000.0 / kGasConstant) {}
    void add(float celsius) {
        ++m_count;
        Slot& slot = m_remembered[(std::bit_cast<std::uint32_t>(celsius) * 2654435761u) >> 20];
        if (slot.celsius != celsius || slot.scale != m_rescales) {
            const double exponent = -m_ratio / (double(celsius) + kZeroCelsiusInKelvin);
            if (exponent > m_largest) {
                m_sum *= std::exp(m_largest - exponent);
                m_largest = exponent;
                ++m_rescales;
            }
            slot = {celsius, m_rescales, std::exp(exponent - m_largest)};
        }
        m_sum += slot.term;
    }
    // In °C; nothing without readings, or when the coldest is at or below
    // absolute zero or ΔH leaves the range of numbers.
    std::optional<double> celsius(double coldest) const {
        if (m_count == 0 || !(coldest + kZeroCelsiusInKelvin > 0) || !(m_ratio > 0) ||
            !std::isfinite(m_ratio))
            return std::nullopt;
        return m_ratio / -(std::log(m_sum / double(m_count)) + m_largest) - kZeroCelsiusInKelvin;
    }

  private:
    struct Slot {
        float celsius = std::numeric_limits<float>::quiet_NaN(); // matches nothing
        std::uint32_t scale = 0;                                 // m_rescales when taken
        double term = 0;
    };
    double m_ratio; // ΔH/R in kelvin
    long long m_count = 0;
    double m_largest = -std::numeric_limits<double>::infinity();
    double m_sum = 0;
    std::uint32_t m_rescales = 0;
    std::array<Slot, 4096> m_remembered{};
};

// Maximal runs of consecutive samples that have a property, in samples.
class Runs {
  public:
    // A run is counted and measured when it ends, which is rare: the pass
    // over the samples carries only the length of the current one.
    void step(bool in) {
        if (in) {
            ++m_current;
        } else if (m_current > 0) {
            ++m_ended;
            m_total += m_current;
            m_longest = std::max(m_longest, m_current);
            m_current = 0;
        }
    }
    Excursions times(long long intervalSeconds) const {
        return {.seconds = (m_total + m_current) * intervalSeconds,
                .count = m_ended + (m_current > 0),
                .longestSeconds = std::max(m_longest, m_current) * intervalSeconds};
    }

  private:
    long long m_current = 0, m_ended = 0, m_total = 0, m_longest = 0;
};

struct IndexRange {
    size_t begin = 0, end = 0;
};

IndexRange indicesWithin(const std::vector<DateTime>& times, const std::optional<TimeRange>& r) {
    if (!r)
        return {0, times.size()};
    const auto b = std::lower_bound(times.begin(), times.end(), r->from);
    const auto e = std::upper_bound(b, times.end(), r->to);
    return {size_t(b - times.begin()), size_t(e - times.begin())};
}

long long countWithin(const std::vector<DateTime>& times, const std::optional<TimeRange>& r) {
    const IndexRange i = indicesWithin(times, r);
    return (long long)(i.end - i.begin);
}

long long secondsBetween(DateTime from, DateTime to) {
    return platform::wholeSeconds(to) - platform::wholeSeconds(from);
}

struct SampleBounds {
    bool any = false;
    DateTime first = 0, last = 0;
};

// The episodes of one quantity: each start runs to the next end (at equal
// times an end closes a running episode before a start opens one); a start
// without an end runs to the last sample, an end before any start from the
// first (without samples, an open episode ends where it starts).

std::vector<Episode> pairEpisodes(const std::vector<DateTime>& starts,
                                  const std::vector<DateTime>& ends, const SampleBounds& data) {
    std::vector<Episode> episodes;
    size_t s = 0, e = 0;
    bool running = false, anyStart = false;
    while (s < starts.size() || e < ends.size()) {
        const bool takeStart =
            e == ends.size() ||
            (s < starts.size() && (starts[s] < ends[e] || (starts[s] == ends[e] && !running)));
        if (takeStart) {
            if (!running)
                episodes.push_back({.start = starts[s]});
            running = anyStart = true;
            ++s;
        } else {
            if (running)
                episodes.back().end = ends[e];
            else if (!anyStart && episodes.empty())
                episodes.push_back({.start = data.any ? std::min(data.first, ends[e]) : ends[e],
                                    .end = ends[e],
                                    .openAtStart = true});
            running = false;
            ++e;
        }
    }
    if (running) {
        episodes.back().end = std::max(data.any ? data.last : 0, episodes.back().start);
        episodes.back().openAtEnd = true;
    }
    return episodes;
}

struct Selection {
    const SampleStore& store;
    IndexRange samples;
    bool fahrenheit;
};

// Cuts the episodes to the selected samples and fills in their durations and
// the quantity's extremes during each.
AlarmStatistics finishEpisodes(std::vector<Episode> all, const Selection& sel,
                               const std::vector<float>& values, bool temperature,
                               const std::optional<TimeRange>& range) {
    AlarmStatistics alarms;
    const auto& times = sel.store.SampleTimes;
    for (Episode& ep : all) {
        if (range) {
            const bool any = sel.samples.end > sel.samples.begin;
            const DateTime lo = any ? times[sel.samples.begin] : range->from;
            const DateTime hi = any ? times[sel.samples.end - 1] : range->to;
            if (ep.end < lo || ep.start > hi)
                continue;
            if (ep.start < lo) {
                ep.start = lo;
                ep.openAtStart = true;
            }
            if (ep.end > hi) {
                ep.end = hi;
                ep.openAtEnd = true;
            }
        }
        ep.durationSeconds = secondsBetween(ep.start, ep.end);
        const IndexRange during = indicesWithin(times, TimeRange{ep.start, ep.end});
        for (size_t i = during.begin; i < during.end && i < values.size(); ++i) {
            if (!isReading(values[i]))
                continue;
            const double v = temperature ? displayUnit(sel.fahrenheit).of(values[i]) : values[i];
            ep.min = ep.min ? std::min(*ep.min, v) : v;
            ep.max = ep.max ? std::max(*ep.max, v) : v;
        }
        alarms.totalSeconds += ep.durationSeconds;
        alarms.longestSeconds = std::max(alarms.longestSeconds, ep.durationSeconds);
        alarms.episodes.push_back(ep);
    }
    return alarms;
}

} // namespace

Statistics computeStatistics(const SampleStore& store, double samplesPerHour, bool hasRH,
                             const StatisticsOptions& options) {
    const auto& times = store.SampleTimes;
    const size_t count = std::min(times.size(), store.TempData.size());
    IndexRange samples = indicesWithin(times, options.range);
    samples.end = std::min(samples.end, count);
    samples.begin = std::min(samples.begin, samples.end);

    Statistics st{.fahrenheit = options.fahrenheit,
                  .activationEnergy = options.activationEnergy,
                  .samples = (long long)(samples.end - samples.begin)};
    st.intervalSeconds =
        platform::wholeSeconds(decode::SampleIntervalDays(std::max(0.0, samplesPerHour)));
    if (st.samples > 0) {
        st.first = times[samples.begin];
        st.last = times[samples.end - 1];
        st.spanSeconds = secondsBetween(*st.first, *st.last);
    }

    const double low = options.low.value_or(-std::numeric_limits<double>::infinity());
    const double high = options.high.value_or(std::numeric_limits<double>::infinity());
    const DisplayUnit unit = displayUnit(options.fahrenheit);
    // One pass for both quantities: the data are read from memory once, and
    // the two quantities' sums are independent work for the processor to overlap.
    const size_t rhEnd = hasRH ? std::min(samples.end, store.RHData.size()) : samples.begin;
    Moments temperature, rh;
    KineticMean kinetic(options.activationEnergy);
    Runs gaps, below, above;
    for (size_t i = samples.begin; i < samples.end; ++i) {
        const float celsius = store.TempData[i];
        const bool reading = isReading(celsius);
        const double v = unit.of(celsius);
        gaps.step(!reading);
        below.step(reading && v < low);
        above.step(reading && v > high);
        if (reading) {
            temperature.add(v, i);
            kinetic.add(celsius);
        }
        if (i < rhEnd && isReading(store.RHData[i]))
            rh.add(store.RHData[i], i);
    }
    st.temperature = temperature.result(times);
    // The unit rises with °C: its minimum is the coldest reading.
    if (temperature.count() > 0)
        if (const auto mkt = kinetic.celsius(store.TempData[temperature.minIndex()]))
            st.temperature.mkt = unit.of(*mkt);
    st.readings = st.temperature.readings;
    st.missing = st.samples - st.readings;
    st.longestGapSeconds = gaps.times(st.intervalSeconds).longestSeconds;
    if (options.low || options.high)
        st.limits = LimitStatistics{.low = options.low,
                                    .high = options.high,
                                    .below = below.times(st.intervalSeconds),
                                    .above = above.times(st.intervalSeconds)};
    if (hasRH)
        st.rh = rh.result(times);

    // Open episodes reach the data's own first and last sample; a range cuts them after.
    const SampleBounds data{.any = count > 0,
                            .first = count > 0 ? times.front() : 0,
                            .last = count > 0 ? times[count - 1] : 0};
    const Selection sel{.store = store, .samples = samples, .fahrenheit = options.fahrenheit};
    for (int q = 0; q < 2; ++q) {
        std::vector<Episode> all = pairEpisodes(store.AlarmStarts[q], store.AlarmEnds[q], data);
        (q == 0 ? st.temperatureAlarms : st.rhAlarms) = finishEpisodes(
            std::move(all), sel, q == 0 ? store.TempData : store.RHData, q == 0, options.range);
    }
    st.newSensorEvents = countWithin(store.NewSensorEvents, options.range);
    st.testStarts = countWithin(store.TestStarts, options.range);
    st.testEnds = countWithin(store.TestEnds, options.range);
    return st;
}

namespace {

QJsonValue number(const std::optional<double>& value, int decimals) {
    if (!value || !std::isfinite(*value))
        return QJsonValue::Null;
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(*value * scale) / scale;
    return rounded == 0 ? 0.0 : rounded; // never "-0"
}

QJsonValue isoTime(const std::optional<DateTime>& t) {
    if (!t)
        return QJsonValue::Null;
    return platform::formatDateTimeFixed("yyyy-mm-dd'T'hh:nn:ss", platform::roundToSecond(*t));
}

QJsonValue openText(const Episode& ep) {
    if (ep.openAtStart && ep.openAtEnd)
        return "both";
    if (ep.openAtStart)
        return "start";
    if (ep.openAtEnd)
        return "end";
    return QJsonValue::Null;
}

// Extremes as the data files write them; derived figures one digit finer.
constexpr int kValueDecimals = 2;
constexpr int kDerivedDecimals = 3;

QJsonObject quantityJson(const QuantityStatistics& q, bool temperature) {
    QJsonObject o{
        {"min", number(q.min, kValueDecimals)},     {"min_at", isoTime(q.minAt)},
        {"max", number(q.max, kValueDecimals)},     {"max_at", isoTime(q.maxAt)},
        {"mean", number(q.mean, kDerivedDecimals)}, {"stdev", number(q.stdev, kDerivedDecimals)}};
    if (temperature)
        o["mkt"] = number(q.mkt, kDerivedDecimals);
    return o;
}

QJsonObject alarmsJson(const AlarmStatistics& a) {
    QJsonArray list;
    for (const Episode& ep : a.episodes)
        list.append(QJsonObject{{"start", isoTime(ep.start)},
                                {"end", isoTime(ep.end)},
                                {"duration_s", ep.durationSeconds},
                                {"min", number(ep.min, kValueDecimals)},
                                {"max", number(ep.max, kValueDecimals)},
                                {"open", openText(ep)}});
    return {{"episodes", qint64(a.episodes.size())},
            {"total_s", a.totalSeconds},
            {"longest_s", a.longestSeconds},
            {"list", list}};
}

} // namespace

QJsonObject statisticsJson(const Statistics& st) {
    QJsonValue limits = QJsonValue::Null;
    if (st.limits)
        limits = QJsonObject{{"low", number(st.limits->low, kDerivedDecimals)},
                             {"high", number(st.limits->high, kDerivedDecimals)},
                             {"below_s", st.limits->below.seconds},
                             {"above_s", st.limits->above.seconds},
                             {"excursions", st.limits->below.count + st.limits->above.count},
                             {"longest_s", std::max(st.limits->below.longestSeconds,
                                                    st.limits->above.longestSeconds)}};
    return {
        {"samples", st.samples},
        {"readings", st.readings},
        {"missing", st.missing},
        {"first", isoTime(st.first)},
        {"last", isoTime(st.last)},
        {"interval_s", st.intervalSeconds},
        {"unit", st.fahrenheit ? "F" : "C"},
        {"temperature", quantityJson(st.temperature, true)},
        {"rh", st.rh ? QJsonValue(quantityJson(*st.rh, false)) : QJsonValue::Null},
        {"alarms", QJsonObject{{"temperature", alarmsJson(st.temperatureAlarms)},
                               {"rh", alarmsJson(st.rhAlarms)}}},
        {"events", QJsonObject{{"new_sensor", st.newSensorEvents},
                               {"test_starts", st.testStarts},
                               {"test_ends", st.testEnds}}},
        {"gaps", QJsonObject{{"missing", st.missing}, {"longest_s", st.longestGapSeconds}}},
        {"limits", limits},
    };
}

namespace {

const QString kNone = QStringLiteral("—");

QString decimal(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith('-') && text.count('0') == text.size() - 2) // "-0.00"
        text.remove(0, 1);
    return text.replace('.', platform::formatSettings().decimalSeparator);
}

QString measured(const std::optional<double>& value, const QString& unit, int decimals) {
    return value ? decimal(*value, decimals) + " " + unit : kNone;
}

QString duration(long long seconds) {
    const long long days = seconds / 86400, rest = seconds % 86400;
    const QString clock = QString("%1:%2:%3")
                              .arg(rest / 3600, 2, 10, QChar('0'))
                              .arg(rest / 60 % 60, 2, 10, QChar('0'))
                              .arg(rest % 60, 2, 10, QChar('0'));
    return days > 0 ? QString("%1 d %2").arg(days).arg(clock) : clock;
}

// Date and time always, midnight included.
QString timeText(const std::optional<DateTime>& t) {
    if (!t)
        return kNone;
    const platform::FormatSettings& user = platform::formatSettings();
    return platform::formatDateTime(user.shortDateFormat + " " + user.longTimeFormat,
                                    platform::roundToSecond(*t));
}

QString extreme(const std::optional<double>& value, const std::optional<DateTime>& at,
                const QString& unit) {
    return value ? measured(value, unit, kValueDecimals) + " at " + timeText(at) : kNone;
}

QString temperatureUnit(const Statistics& st) {
    return st.fahrenheit ? "°F" : "°C";
}

void appendQuantity(QList<StatisticsRow>& rows, const QString& name,
                    const std::optional<QuantityStatistics>& q, const QString& unit) {
    rows +=
        {{name + " minimum", q ? extreme(q->min, q->minAt, unit) : kNone},
         {name + " maximum", q ? extreme(q->max, q->maxAt, unit) : kNone},
         {name + " mean", q ? measured(q->mean, unit, kDerivedDecimals) : kNone},
         {name + " standard deviation", q ? measured(q->stdev, unit, kDerivedDecimals) : kNone}};
}

QString alarmSummary(const AlarmStatistics& a) {
    if (a.episodes.empty())
        return "none";
    return QString("%1, total %2, longest %3")
        .arg(a.episodes.size())
        .arg(duration(a.totalSeconds), duration(a.longestSeconds));
}

QString limitText(const std::optional<double>& limit, const QString& unit) {
    return limit ? measured(limit, unit, kValueDecimals) : "not set";
}

QString excursionText(const Excursions& e) {
    return QString("%1 (excursions: %2, longest %3)")
        .arg(duration(e.seconds))
        .arg(e.count)
        .arg(duration(e.longestSeconds));
}

} // namespace

QList<StatisticsRow> statisticsRows(const Statistics& st) {
    const QString unit = temperatureUnit(st);
    QList<StatisticsRow> rows = {
        {"Samples", QString::number(st.samples)},
        {"With a reading", QString::number(st.readings)},
        {"Without a reading", QString::number(st.missing)},
        {"First sample", timeText(st.first)},
        {"Last sample", timeText(st.last)},
        {"Span", st.first ? duration(st.spanSeconds) : kNone},
        {"Storage interval", st.intervalSeconds > 0 ? duration(st.intervalSeconds) : kNone},
    };
    appendQuantity(rows, "Temperature", st.temperature, unit);
    rows +=
        {"Mean kinetic temperature",
         st.temperature.mkt ? measured(st.temperature.mkt, unit, kDerivedDecimals) +
                                  QString(" (ΔH %1 kJ/mol)").arg(decimal(st.activationEnergy, 3))
                            : kNone};
    appendQuantity(rows, "RH", st.rh, "%RH");
    rows += {{"Temperature alarms", alarmSummary(st.temperatureAlarms)},
             {"RH alarms", alarmSummary(st.rhAlarms)},
             {"New sensor events", QString::number(st.newSensorEvents)},
             {"Test starts", QString::number(st.testStarts)},
             {"Test ends", QString::number(st.testEnds)},
             {"Longest gap", st.missing > 0 ? duration(st.longestGapSeconds) : kNone}};
    if (st.limits)
        rows +=
            {{"Low limit", limitText(st.limits->low, unit)},
             {"High limit", limitText(st.limits->high, unit)},
             {"Below the low limit", st.limits->low ? excursionText(st.limits->below) : kNone},
             {"Above the high limit", st.limits->high ? excursionText(st.limits->above) : kNone}};
    return rows;
}

QList<StatisticsRow> episodeRows(const Statistics& st) {
    QList<StatisticsRow> rows;
    const auto append = [&](const QString& name, const AlarmStatistics& a, const QString& unit) {
        int n = 0;
        for (const Episode& ep : a.episodes) {
            QString value = timeText(ep.start) + " to " + timeText(ep.end) + ", " +
                            duration(ep.durationSeconds) + ", " +
                            measured(ep.min, unit, kValueDecimals) + " to " +
                            measured(ep.max, unit, kValueDecimals);
            if (ep.openAtStart)
                value += ", open at the start";
            if (ep.openAtEnd)
                value += ", open at the end";
            rows += {QString("%1 alarm %2").arg(name).arg(++n), value};
        }
    };
    append("Temperature", st.temperatureAlarms, temperatureUnit(st));
    append("RH", st.rhAlarms, "%RH");
    return rows;
}

QString statisticsText(const Statistics& st) {
    QString text;
    for (const StatisticsRow& row : statisticsRows(st) + episodeRows(st))
        text += row.label + '\t' + row.value + '\n';
    return text;
}

} // namespace report
