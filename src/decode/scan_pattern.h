#pragma once
// A small scanf for the logger's header lines: "%d" (optional sign, decimal
// digits), "%f" (a decimal number), "%x" (hexadecimal digits), "%s" (a word)
// and "%%". Conversions skip leading blanks, a blank in the pattern matches
// any run of blanks (or none), other characters match themselves. The result
// is the count of items converted before the first mismatch, which callers
// compare with the count their pattern holds.
#include <QString>
#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

namespace decode {

// The target of a "%x": the 32-bit pattern of the digits.
struct HexTarget {
    std::int32_t* value;
};
// One target per conversion, in pattern order: `int*` takes "%d", `float*`
// "%f", `HexTarget` "%x", `QString*` "%s".
// A conversion whose target has another kind ends the scan.
using ScanTarget = std::variant<int*, float*, HexTarget, QString*>;

int scanLine(std::string_view line, std::string_view pattern,
             const std::vector<ScanTarget>& targets);

} // namespace decode
