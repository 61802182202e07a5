#include "chart/plot_buffer.h"
#include "app/sample_store.h"
#include "chart/chart.h"
#include <algorithm>
#include <limits>

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kSilver = qRgb(192, 192, 192);

// Texts of the event kinds, in the order of the store's event lists.
const std::array<QString, 7> kEventTexts = {"ns", "tas", "RHas", "tae", "RHae", "ts", "te"};

// Set when one of the first six event lists holds two or more times and its
// last one falls within the samples' span; a clear flag lets the first point
// carry "." so that the RH series always has a label.
bool eventsPresent(const SampleStore& store, platform::DateTime first, platform::DateTime last) {
    const auto lists = store.eventLists();
    return std::any_of(lists.begin(), lists.end() - 1, [&](const auto* list) {
        return list->size() >= 2 && first <= list->back() && list->back() <= last;
    });
}

// Walks the event lists alongside the samples; each list is passed once in total.
class EventLabels {
  public:
    explicit EventLabels(const SampleStore& store) : m_lists(store.eventLists()) { findNext(); }

    // Label of the events at or before `time` not yet given to an earlier sample.
    QString take(platform::DateTime time) {
        if (!(m_next <= time))
            return QString();
        QString label;
        for (std::size_t k = 0; k < m_lists.size(); ++k) {
            const auto& list = *m_lists[k];
            std::size_t& cursor = m_cursors[k];
            const std::size_t start = cursor;
            while (cursor < list.size() && list[cursor] <= time)
                ++cursor;
            const std::size_t count = cursor - start;
            if (count == 0)
                continue;
            if (!label.isEmpty())
                label += QStringLiteral(", ");
            if (count >= 2)
                label += QString::number(count) + ' ';
            label += kEventTexts[k];
        }
        findNext();
        return label;
    }

  private:
    // Most samples carry no event: one comparison with the earliest event
    // not yet given out settles them.
    void findNext() {
        m_next = std::numeric_limits<platform::DateTime>::infinity();
        for (std::size_t k = 0; k < m_lists.size(); ++k)
            if (m_cursors[k] < m_lists[k]->size())
                m_next = std::min(m_next, (*m_lists[k])[m_cursors[k]]);
    }

    std::array<const std::vector<platform::DateTime>*, 7> m_lists;
    std::array<std::size_t, 7> m_cursors{};
    platform::DateTime m_next;
};

// A stored value counts as a reading below 9998; the point after one stored
// as exactly 9999 starts again after a gap and is drawn silver, from the third
// sample on.
QRgb pointColour(const std::vector<float>& values, std::size_t i, QRgb normal) {
    return i >= 2 && values[i - 1] == kNoReading ? kSilver : normal;
}

} // namespace

std::optional<platform::DateTime> PlotBuffer(const SampleStore& store, const PlotOptions& options,
                                             Chart& chart) {
    // A sample without a time cannot be placed, and one without an RH entry
    // has no RH reading.
    const std::size_t n = std::min(store.TempData.size(), store.SampleTimes.size());
    if (n == 0)
        return std::nullopt;
    const bool eventFlag = eventsPresent(store, store.SampleTimes[0], store.SampleTimes[n - 1]);
    EventLabels events(store);
    ChartSeries::Batch temperature, humidity;
    temperature.reserve(n);
    humidity.reserve(n);

    for (std::size_t i = 0; i < n; ++i) {
        const platform::DateTime x = store.SampleTimes[i];
        const float t = store.TempData[i];
        QString label = events.take(x);
        if (temperature.size() == 0 && humidity.size() == 0 && label.isEmpty() && !eventFlag)
            label = QStringLiteral(".");
        const bool temperatureDrawn = t < kNoReadingThreshold;
        if (temperatureDrawn) {
            const double y = options.TempInF ? t * 1.8 + 32 : t;
            temperature.addPacked(x, y, pointColour(store.TempData, i, kRed));
        }
        if (options.RHBV && i < store.RHData.size() && store.RHData[i] < kNoReadingThreshold) {
            humidity.labelNext(label);
            humidity.addPacked(x, store.RHData[i], pointColour(store.RHData, i, kBlue));
        } else if (temperatureDrawn) {
            // An undrawn point that carries the label to the top axis.
            humidity.labelNext(label);
            humidity.addPacked(x, double(humidity.size()), 0);
        }
    }

    chart.Series1().clear();
    chart.Series2().clear();
    chart.Series1().append(std::move(temperature));
    chart.Series2().append(std::move(humidity));
    return store.SampleTimes[n - 1];
}
