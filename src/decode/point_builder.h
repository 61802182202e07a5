#pragma once
// The chart points of a run of samples: temperature on the first series; on
// the second, RH or, without an RH reading, an undrawn point at the series'
// point count that carries the sample's label to the top axis. A sample's
// label names the events at or before it that no earlier sample took. The
// live drawing of an upload and the redraw from the store differ only in
// their PointRules.
#include "model/event_kinds.h"
#include "model/palette.h"
#include "model/sample_store.h"
#include "platform/clock.h"
#include <QString>
#include <array>
#include <optional>
#include <span>

namespace decode {

struct PointRules {
    float noReadingFrom;          // a value at or above it draws no point
    std::size_t firstSilverIndex; // store index from which a point after a 9999 is silver
    bool liveLabels;              // the labels an upload draws (test start "tb")
    bool firstSampleIsNewSensor;  // the store's first sample counts one new sensor more
    bool labelPastRHGap;          // an RH gap under a drawn temperature still carries the label
};

inline constexpr PointRules kLiveRules{.noReadingFrom = kNoReading,
                                       .firstSilverIndex = 1,
                                       .liveLabels = true,
                                       .firstSampleIsNewSensor = true,
                                       .labelPastRHGap = false};
inline constexpr PointRules kRedrawRules{.noReadingFrom = kNoReadingThreshold,
                                         .firstSilverIndex = 2,
                                         .liveLabels = false,
                                         .firstSampleIsNewSensor = false,
                                         .labelPastRHGap = true};

// The event lists in the store's order, each ascending.
using EventTimes = std::array<std::span<const platform::DateTime>, kEventKindTable.size()>;

// Set when a list other than the test ends holds two or more times and its
// last one lies within [first, last]; a clear flag lets the first point of a
// chart carry "." so that the RH series always has a label.
bool eventsPresent(const EventTimes& events, platform::DateTime first, platform::DateTime last);

// Hands out the labels of the events alongside ascending sample times; each
// list is walked once in total.
class EventLabels {
  public:
    EventLabels(const EventTimes& events, bool liveLabels);
    // The label of the events at or before `time` not given out yet, with
    // `extraNewSensors` more new sensors than the list holds.
    QString take(platform::DateTime time, int extraNewSensors = 0);
    // The time from which take() gives a label (without extra new sensors).
    platform::DateTime next() const { return m_next; }

  private:
    void findNext();

    EventTimes m_events;
    bool m_live;
    std::array<std::size_t, kEventKindTable.size()> m_cursors{};
    platform::DateTime m_next = 0; // the earliest event not given out yet
};

struct SampleRun {
    std::span<const platform::DateTime> times; // as many as temps
    std::span<const float> temps;              // degrees Celsius
    std::span<const float> rh;                 // of the first rh.size() samples; empty without RH
    std::size_t firstIndex = 0;                // store index of the first sample
    // The stored values just before the run, for the point after a gap.
    std::optional<float> tempBefore{}, rhBefore{};
};

// A temperature in degrees Celsius as the chart plots it.
inline double plottedTemperature(float celsius, bool inF) {
    return inF ? celsius * 1.8 + 32 : celsius;
}

// What one sample puts on the two series. A colourless point on the second
// series (alpha 0) carries the label only and stands at the number of points
// the series holds before it; a coloured one stands at the sample's RH.
struct SamplePoints {
    std::optional<QRgb> temperature{}; // the colour of its temperature point, if any
    std::optional<QRgb> humidity{};    // the colour of its point on the second series, if any
    QString label{};                   // for that point
};

// The end of the stretch of plain samples from j > 0 on, before the label due
// at `nextLabel`: every reading drawn, no reading before it missing, and all
// with an RH reading or all without. Each such sample puts a point in the
// temperature colour on the first series and one in the RH colour (with RH)
// or a label carrier (without) on the second.
inline std::size_t plainEnd(const SampleRun& run, std::size_t j, platform::DateTime nextLabel,
                            const PointRules& rules) {
    const bool hasRH = j < run.rh.size();
    if (run.temps[j - 1] == kNoReading || (hasRH && run.rh[j - 1] == kNoReading))
        return j;
    // A drawn reading lies below the no-reading mark: within the stretch no
    // sample makes the next one silver.
    const float from = rules.noReadingFrom;
    std::size_t k = j;
    if (hasRH) {
        while (k < run.rh.size() && run.temps[k] < from && run.rh[k] < from &&
               run.times[k] < nextLabel)
            ++k;
    } else {
        while (k < run.temps.size() && run.temps[k] < from && run.times[k] < nextLabel)
            ++k;
    }
    return k;
}

// Calls mark(from, to, SamplePoints) for the samples of the run in order:
// each of the samples [from, to) puts those points, and the label goes to
// the first. `seriesEmpty` when neither series holds a point before the run.
// With `stretches`, a stretch of plain samples comes in one call; without,
// every sample comes alone.
template <typename Mark>
void markSamples(const SampleRun& run, const EventTimes& events, bool eventFlag, bool seriesEmpty,
                 const PointRules& rules, bool stretches, Mark&& mark) {
    static_assert(kLiveRules.noReadingFrom <= kNoReading &&
                  kRedrawRules.noReadingFrom <= kNoReading);
    EventLabels labels(events, rules.liveLabels);
    const QRgb red = kTemperatureColour.rgb(), blue = kRHColour.rgb(),
               silver = kAfterGapColour.rgb();
    // The previous stored value of the same list, not the previous point.
    const auto afterGap = [&](std::span<const float> values, std::optional<float> before,
                              std::size_t j) {
        const std::optional<float> previous = j > 0 ? values[j - 1] : before;
        return run.firstIndex + j >= rules.firstSilverIndex && previous == kNoReading;
    };
    bool empty = seriesEmpty;
    std::size_t j = 0;
    while (j < run.temps.size()) {
        // Past the first point, so that no "." is due.
        if (stretches && !empty && j > 0) {
            const std::size_t end = plainEnd(run, j, labels.next(), rules);
            if (end > j) {
                mark(j, end,
                     SamplePoints{.temperature = red,
                                  .humidity = j < run.rh.size() ? blue : QRgb(0)});
                j = end;
                continue;
            }
        }
        const bool first = run.firstIndex + j == 0;
        SamplePoints points{
            .label = labels.take(run.times[j], first && rules.firstSampleIsNewSensor ? 1 : 0)};
        if (empty && !eventFlag && points.label.isEmpty())
            points.label = QStringLiteral(".");
        const bool temperatureDrawn = run.temps[j] < rules.noReadingFrom;
        if (temperatureDrawn)
            points.temperature = afterGap(run.temps, run.tempBefore, j) ? silver : red;
        const bool hasRH = j < run.rh.size();
        if (hasRH && run.rh[j] < rules.noReadingFrom)
            points.humidity = afterGap(run.rh, run.rhBefore, j) ? silver : blue;
        else if (temperatureDrawn && (!hasRH || rules.labelPastRHGap))
            points.humidity = QRgb(0);
        empty = empty && !points.temperature && !points.humidity;
        mark(j, j + 1, points);
        ++j;
    }
}

// Appends the run's points to the two series' point lists. A point list has
// labelNext(label), addPacked(x, y, QRgb colour; alpha 0 colourless) and
// size(), the points the series holds with those added.
template <typename Points>
void buildPoints(const SampleRun& run, const EventTimes& events, bool eventFlag, bool tempInF,
                 const PointRules& rules, Points& temperature, Points& humidity) {
    const bool seriesEmpty = temperature.size() == 0 && humidity.size() == 0;
    markSamples(run, events, eventFlag, seriesEmpty, rules, false,
                [&](std::size_t from, std::size_t to, const SamplePoints& points) {
                    if (points.humidity)
                        humidity.labelNext(points.label);
                    for (std::size_t j = from; j < to; ++j) {
                        const platform::DateTime x = run.times[j];
                        if (points.temperature)
                            temperature.addPacked(x, plottedTemperature(run.temps[j], tempInF),
                                                  *points.temperature);
                        if (points.humidity)
                            humidity.addPacked(x,
                                               qAlpha(*points.humidity) != 0
                                                   ? double(run.rh[j])
                                                   : double(humidity.size()),
                                               *points.humidity);
                    }
                });
}

} // namespace decode
