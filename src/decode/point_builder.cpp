#include "decode/point_builder.h"
#include "decode/packet_decode.h"
#include <algorithm>
#include <limits>

namespace decode {

static_assert(kEventKindTable.size() == kEventKinds);

namespace {

// "tas", or for n >= 2 events n, a blank and the text ("2 ns").
QString eventLabel(int count, const char* text) {
    const QString name = QString::fromLatin1(text);
    return count == 1 ? name : QString::number(count) + ' ' + name;
}

} // namespace

bool eventsPresent(const EventTimes& events, platform::DateTime first, platform::DateTime last) {
    return std::any_of(events.begin(), events.end() - 1,
                       [&](std::span<const platform::DateTime> list) {
                           return list.size() >= 2 && first <= list.back() && list.back() <= last;
                       });
}

EventLabels::EventLabels(const EventTimes& events, bool liveLabels)
    : m_events(events), m_live(liveLabels) {
    findNext();
}

QString EventLabels::take(platform::DateTime time, int extraNewSensors) {
    // Most samples carry no event: one comparison with the earliest event
    // not given out yet settles them.
    if (extraNewSensors == 0 && !(m_next <= time))
        return QString();
    QString label;
    for (std::size_t k = 0; k < m_events.size(); ++k) {
        const auto list = m_events[k];
        std::size_t& cursor = m_cursors[k];
        const std::size_t start = cursor;
        while (cursor < list.size() && list[cursor] <= time)
            ++cursor;
        const int count = int(cursor - start) + (k == 0 ? extraNewSensors : 0);
        if (count == 0)
            continue;
        if (!label.isEmpty())
            label += QStringLiteral(", ");
        const EventKind& kind = kEventKindTable[k];
        label += eventLabel(count, m_live ? kind.liveLabel : kind.label);
    }
    findNext();
    return label;
}

void EventLabels::findNext() {
    m_next = std::numeric_limits<platform::DateTime>::infinity();
    for (std::size_t k = 0; k < m_events.size(); ++k)
        if (m_cursors[k] < m_events[k].size())
            m_next = std::min(m_next, m_events[k][m_cursors[k]]);
}

} // namespace decode
