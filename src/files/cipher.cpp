#include "files/cipher.h"

namespace {

constexpr int kFirst = 32; // ' '
constexpr int kLast = 126; // '~'
constexpr int kRange = kLast - kFirst + 1;

bool isPrintable(int c) {
    return c >= kFirst && c <= kLast;
}

void advancePosition(CipherState& state) {
    if (++state.PositionStep == 12)
        state.PositionStep = 3;
}

void advanceLine(CipherState& state) {
    if (++state.LineStep == 14)
        state.LineStep = 0;
}

// Back through the printable range by n, 0 < n <= 151 (11 + 13 + 127).
int rotateBack(int value, int n) {
    return kFirst + (value - kFirst - n + 2 * kRange) % kRange;
}

int nextShift(CipherState& state) {
    advancePosition(state);
    return state.PositionStep + state.LineStep + state.ChainChar;
}

} // namespace

unsigned char scrambleByte(unsigned char c, int n) {
    // Outside the printable range the byte is stepped one at a time; once it
    // wraps into the range it stays there, and the rest is one rotation.
    int value = c;
    while (n > 0 && !isPrintable(value)) {
        value = (value + 1) & 0xFF;
        if (value == 127)
            value = kFirst;
        --n;
    }
    if (n > 0)
        value = kFirst + (value - kFirst + n) % kRange;
    return static_cast<unsigned char>(value);
}

unsigned char unscrambleByte(unsigned char c, int n) {
    int value = c;
    while (n > 0 && !isPrintable(value)) {
        value = (value - 1) & 0xFF;
        if (static_cast<signed char>(value) < kFirst)
            value = kLast;
        --n;
    }
    if (n > 0)
        value = rotateBack(value, n);
    return static_cast<unsigned char>(value);
}

QByteArray ScrambleLine(CipherState& state, QByteArrayView plain) {
    QByteArray out(plain.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const int n = nextShift(state);
        const unsigned char c = scrambleByte(static_cast<unsigned char>(plain[i]), n);
        out[i] = static_cast<char>(c);
        state.ChainChar = static_cast<signed char>(c);
    }
    advancePosition(state); // the line end takes a position of its own
    advanceLine(state);
    return out;
}

void UnscrambleLineInto(CipherState& state, QByteArrayView scrambled, QByteArray& plain) {
    plain.resize(scrambled.size());
    char* out = plain.data();
    for (qsizetype i = 0; i < scrambled.size(); ++i) {
        const int n = nextShift(state);
        const unsigned char c = static_cast<unsigned char>(scrambled[i]);
        // Printable bytes, all of them in a duplicate, take the rotation inline.
        out[i] =
            static_cast<char>(isPrintable(c) && n > 0 ? rotateBack(c, n) : unscrambleByte(c, n));
        state.ChainChar = static_cast<signed char>(c);
    }
    advancePosition(state);
    advanceLine(state);
}

QByteArray UnscrambleLine(CipherState& state, QByteArrayView scrambled) {
    QByteArray plain;
    UnscrambleLineInto(state, scrambled, plain);
    return plain;
}
