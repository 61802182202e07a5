#pragma once
// The eight date formats offered by Setup > Date Format, in menu order:
// mmddyy, mmddyyap, ddmmyy, yyyymmdd, mmddyyc, mmddyyapc, ddmmyyc, yyyymmddc.
#include <array>

namespace app {

inline constexpr std::array<const char*, 8> kFormats = {
    "mm/dd/yyyy hh:mm:ss",  "mm/dd/yyyy hh:mm:ss AM/PM", "dd/mm/yyyy hh:mm:ss",
    "yyyy/mm/dd hh:mm:ss",  "mm/dd/yyyy, hh:mm:ss",      "mm/dd/yyyy, hh:mm:ss AM/PM",
    "dd/mm/yyyy, hh:mm:ss", "yyyy/mm/dd, hh:mm:ss"};

// The order in which the menu is matched against the stored format.
inline constexpr std::array<int, 8> kSyncOrder = {0, 1, 3, 2, 4, 5, 7, 6};

} // namespace app
