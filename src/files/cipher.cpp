#include "files/cipher.h"
#include <cstdint>

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

namespace {

bool allPrintable(QByteArrayView text) {
    bool printable = true;
    for (char c : text)
        printable &= isPrintable(static_cast<unsigned char>(c));
    return printable;
}

// A printable byte after a printable link rotates within the range, so each
// scrambled byte is the one before plus a step known in advance, modulo the
// range: the chain is a running sum and no byte waits for the division of
// the one before.
void scrambleRotating(CipherState& state, QByteArrayView plain, char* out) {
    std::uint64_t sum = static_cast<std::uint64_t>(state.ChainChar - kFirst);
    int position = state.PositionStep;
    const std::uint64_t line = static_cast<std::uint64_t>(state.LineStep);
    for (qsizetype i = 0; i < plain.size(); ++i) {
        if (++position == 12)
            position = 3;
        sum += static_cast<unsigned char>(plain[i]) + static_cast<std::uint64_t>(position) + line;
        out[i] = static_cast<char>(kFirst + sum % kRange);
    }
    state.PositionStep = position;
    if (!plain.isEmpty())
        state.ChainChar = static_cast<signed char>(out[plain.size() - 1]);
}

void scrambleStepping(CipherState& state, QByteArrayView plain, char* out) {
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const int n = nextShift(state);
        const unsigned char c = scrambleByte(static_cast<unsigned char>(plain[i]), n);
        out[i] = static_cast<char>(c);
        state.ChainChar = static_cast<signed char>(c);
    }
}

} // namespace

void ScrambleLineAppend(CipherState& state, QByteArrayView plain, QByteArray& out) {
    const qsizetype at = out.size();
    out.resize(at + plain.size());
    char* const to = out.data() + at;
    // Lines lose this path only to bytes outside the printable range, which
    // no row of a data file holds.
    if (isPrintable(static_cast<unsigned char>(state.ChainChar)) && allPrintable(plain))
        scrambleRotating(state, plain, to);
    else
        scrambleStepping(state, plain, to);
    advancePosition(state); // the line end takes a position of its own
    advanceLine(state);
}

QByteArray ScrambleLine(CipherState& state, QByteArrayView plain) {
    QByteArray out;
    ScrambleLineAppend(state, plain, out);
    return out;
}

void UnscrambleLineInto(CipherState& state, QByteArrayView scrambled, QByteArray& plain) {
    plain.resize(scrambled.size());
    char* out = plain.data();
    if (isPrintable(static_cast<unsigned char>(state.ChainChar)) && allPrintable(scrambled)) {
        // All of a duplicate's bytes: each one's shift is known from the byte
        // before it in the input, so the rotation needs no other test.
        int position = state.PositionStep;
        unsigned chain = static_cast<unsigned char>(state.ChainChar);
        const unsigned line = static_cast<unsigned>(state.LineStep);
        for (qsizetype i = 0; i < scrambled.size(); ++i) {
            if (++position == 12)
                position = 3;
            const unsigned c = static_cast<unsigned char>(scrambled[i]);
            const unsigned n = static_cast<unsigned>(position) + line + chain;
            out[i] = static_cast<char>(kFirst + (c + 2 * kRange - kFirst - n) % kRange);
            chain = c;
        }
        state.PositionStep = position;
        if (!scrambled.isEmpty())
            state.ChainChar = static_cast<signed char>(scrambled[scrambled.size() - 1]);
    } else {
        for (qsizetype i = 0; i < scrambled.size(); ++i) {
            const int n = nextShift(state);
            const unsigned char c = static_cast<unsigned char>(scrambled[i]);
            out[i] = static_cast<char>(unscrambleByte(c, n));
            state.ChainChar = static_cast<signed char>(c);
        }
    }
    advancePosition(state);
    advanceLine(state);
}

QByteArray UnscrambleLine(CipherState& state, QByteArrayView scrambled) {
    QByteArray plain;
    UnscrambleLineInto(state, scrambled, plain);
    return plain;
}
