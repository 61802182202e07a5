#pragma once
// Committing a verified packet to the sample store, and the chart points that
// show it at once while the upload runs: temperature on the first series, RH
// (or, without RH, a colourless point that only carries the label) on the
// second, with the short event labels on the first sample at or after each
// event.
#include "decode/packet_decode.h"
#include "model/palette.h"
#include "platform/clock.h"
#include <QColor>
#include <QString>
#include <vector>

struct SampleStore;

namespace decode {

struct ChartPoint {
    double x = 0;
    double y = 0;
    QString label;
    QColor colour; // invalid: colourless (neither the point nor its segment is drawn)
    bool operator==(const ChartPoint&) const = default;
};

// The chart operations for one packet, applied in one go and redrawn once.
struct LiveDrawing {
    bool clearFirst = false; // remove every point of both series before adding
    std::vector<ChartPoint> series1;
    std::vector<ChartPoint> series2;
};

// Appends the packet to the store and returns the points to draw. The series
// counts are those of the chart before the packet; tempInF draws degrees F.
LiveDrawing commitPacket(SampleStore& store, const PacketLists& packet, bool tempInF,
                         int series1Count, int series2Count);

} // namespace decode
