#include "decode/scan_pattern.h"
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace decode {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

void skipBlanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && isBlank(s[i]))
        ++i;
}

// Optional sign and decimal digits; the value must fit an int.
bool readInt(std::string_view s, std::size_t& i, int& out) {
    std::size_t j = i;
    bool negative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-'))
        negative = s[j++] == '-';
    const std::size_t digits = j;
    long long value = 0;
    while (j < s.size() && isDigit(s[j])) {
        value = value * 10 + (s[j] - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return false;
        ++j;
    }
    if (j == digits)
        return false;
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max())
        return false;
    out = static_cast<int>(value);
    i = j;
    return true;
}

// Optional sign, digits with an optional decimal point (at least one digit),
// optional exponent. Infinities and NaN are not numbers here.
bool readFloat(std::string_view s, std::size_t& i, float& out) {
    std::size_t j = i;
    if (j < s.size() && (s[j] == '+' || s[j] == '-'))
        ++j;
    std::size_t mantissa = 0;
    while (j < s.size() && isDigit(s[j]))
        ++j, ++mantissa;
    if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && isDigit(s[j]))
            ++j, ++mantissa;
    }
    if (mantissa == 0)
        return false;
    if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        std::size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-'))
            ++k;
        if (k < s.size() && isDigit(s[k])) {
            while (k < s.size() && isDigit(s[k]))
                ++k;
            j = k;
        }
    }
    std::string text(s.substr(i, j - i));
    if (text[0] == '+')
        text.erase(0, 1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    const float f = static_cast<float>(value);
    if (!std::isfinite(f))
        return false;
    out = f;
    i = j;
    return true;
}

int hexDigit(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Optional sign, optional "0x", hexadecimal digits; wraps to 32 bits as the
// C library does for an unsigned conversion.
bool readHex(std::string_view s, std::size_t& i, std::int32_t& out) {
    std::size_t j = i;
    bool negative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-'))
        negative = s[j++] == '-';
    if (j + 2 < s.size() && s[j] == '0' && (s[j + 1] == 'x' || s[j + 1] == 'X') &&
        hexDigit(s[j + 2]) >= 0)
        j += 2;
    const std::size_t digits = j;
    std::uint32_t value = 0;
    while (j < s.size() && hexDigit(s[j]) >= 0)
        value = value * 16 + static_cast<std::uint32_t>(hexDigit(s[j++]));
    if (j == digits)
        return false;
    if (negative)
        value = 0u - value;
    out = static_cast<std::int32_t>(value);
    i = j;
    return true;
}

bool readWord(std::string_view s, std::size_t& i, QString& out) {
    std::size_t j = i;
    while (j < s.size() && !isBlank(s[j]))
        ++j;
    if (j == i)
        return false;
    out = QString::fromLatin1(s.data() + i, static_cast<qsizetype>(j - i));
    i = j;
    return true;
}

template <typename T> T* targetAs(const std::vector<ScanTarget>& targets, std::size_t n) {
    if (n >= targets.size())
        return nullptr;
    T* const* p = std::get_if<T*>(&targets[n]);
    return p ? *p : nullptr;
}

} // namespace

int scanLine(std::string_view line, std::string_view pattern,
             const std::vector<ScanTarget>& targets) {
    std::size_t i = 0;
    int converted = 0;
    for (std::size_t p = 0; p < pattern.size(); ++p) {
        const char pc = pattern[p];
        if (isBlank(pc)) {
            skipBlanks(line, i);
            continue;
        }
        if (pc != '%' || p + 1 >= pattern.size()) {
            if (i >= line.size() || line[i] != pc)
                return converted;
            ++i;
            continue;
        }
        const char conversion = pattern[++p];
        if (conversion == '%') {
            skipBlanks(line, i);
            if (i >= line.size() || line[i] != '%')
                return converted;
            ++i;
            continue;
        }
        skipBlanks(line, i);
        const std::size_t n = static_cast<std::size_t>(converted);
        bool ok = false;
        switch (conversion) {
        case 'd':
            if (int* t = targetAs<int>(targets, n))
                ok = readInt(line, i, *t);
            break;
        case 'f':
            if (float* t = targetAs<float>(targets, n))
                ok = readFloat(line, i, *t);
            break;
        case 'x':
            if (n < targets.size())
                if (const HexTarget* t = std::get_if<HexTarget>(&targets[n]))
                    ok = readHex(line, i, *t->value);
            break;
        case 's':
            if (QString* t = targetAs<QString>(targets, n))
                ok = readWord(line, i, *t);
            break;
        default:
            break;
        }
        if (!ok)
            return converted;
        ++converted;
    }
    return converted;
}

} // namespace decode
