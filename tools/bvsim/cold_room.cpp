#include "bvsim/cold_room.h"
#include <cmath>
#include <numbers>

namespace bvsim {
namespace {

constexpr double kDoorOpens = 14.0; // hour of the day
constexpr double kDoorOpenHours = 1.0 / 3;
constexpr double kWarmingHours = 0.1;  // time constant with the door open
constexpr double kCoolingHours = 0.25; // and after it closes
constexpr double kDoorWarming = 6.0;   // degrees the open door adds at most

// -1 .. 1 over a day, warmest at 15:00.
double daily(double hours) {
    return std::sin(2 * std::numbers::pi * (hours - 9) / 24);
}

// Degrees the door adds at this time of day.
double door(double hours) {
    const double since = std::fmod(hours, 24) - kDoorOpens;
    if (since < 0)
        return 0;
    const double open = std::min(since, kDoorOpenHours);
    const double warmed = kDoorWarming * (1 - std::exp(-open / kWarmingHours));
    return since <= kDoorOpenHours ? warmed
                                   : warmed * std::exp(-(since - kDoorOpenHours) / kCoolingHours);
}

// -1 .. 1, the same for the same index.
double noise(int index) {
    const unsigned hash = static_cast<unsigned>(index) * 2654435761u;
    return static_cast<double>((hash >> 16) % 2001) / 1000.0 - 1;
}

} // namespace

double coldRoomTemperature(double hours, int index) {
    return 3.0 + daily(hours) + door(hours) + 0.08 * noise(index);
}

int coldRoomHumidity(double hours, int index) {
    return static_cast<int>(
        std::lround(72.0 - 3.0 * daily(hours) - 1.5 * door(hours) + 0.8 * noise(index + 7919)));
}

} // namespace bvsim
