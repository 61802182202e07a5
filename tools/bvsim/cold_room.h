#pragma once
// The simulated logger's data: a cold room over a day. About 3 °C, a degree
// warmer in the afternoon than at night, a little sensor noise, and at 14:00
// each day a door left open for 20 minutes that brings the room up to about
// 9 °C (the demo's temperature alarm) before it cools down again. The
// humidity swings the other way and drops while the door is open. Pure
// functions of the time, so that any part of a day can be served again.
namespace bvsim {

// `hours` since the start of the first day; `index` seeds the noise.
double coldRoomTemperature(double hours, int index);
int coldRoomHumidity(double hours, int index);

} // namespace bvsim
