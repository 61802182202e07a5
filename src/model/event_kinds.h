#pragma once
// The logger's event kinds, in the order of the store's event lists and of
// the data file's event columns: how the chart labels each and what the tip
// over a label calls it.
#include <array>

namespace decode {

struct EventKind {
    const char* label;     // on a redraw from the store
    const char* liveLabel; // while an upload draws its samples
    const char* name;      // in the tip over a label
};

inline constexpr std::array<EventKind, 7> kEventKindTable{{
    {.label = "ns", .liveLabel = "ns", .name = "new sensor fitted"},
    {.label = "tas", .liveLabel = "tas", .name = "temperature alarm start"},
    {.label = "RHas", .liveLabel = "RHas", .name = "RH alarm start"},
    {.label = "tae", .liveLabel = "tae", .name = "temperature alarm end"},
    {.label = "RHae", .liveLabel = "RHae", .name = "RH alarm end"},
    // An upload labels test starts "tb"; a redraw "ts".
    {.label = "ts", .liveLabel = "tb", .name = "test start"},
    {.label = "te", .liveLabel = "te", .name = "test end"},
}};

} // namespace decode
