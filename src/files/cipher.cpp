#include "files/cipher.h"
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

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
    // One test per byte and no early exit, so that it runs many bytes at once.
    std::uint8_t outside = 0;
    for (char c : text)
        outside |= static_cast<std::uint8_t>(static_cast<unsigned char>(c) - kFirst) >= kRange;
    return outside == 0;
}

// Positions 3..11 in order, from any phase on for a block of the
// scrambler's (below) or sixteen bytes of the unscrambler's.
constexpr int kCycle = 9;
constexpr qsizetype kSumBlock = 7 * kCycle;
constexpr auto kPositions = [] {
    std::array<std::uint8_t, kSumBlock + kCycle> positions{};
    for (size_t i = 0; i < positions.size(); ++i)
        positions[i] = static_cast<std::uint8_t>(3 + i % kCycle);
    return positions;
}();

// A printable byte after a printable link rotates within the range, so each
// scrambled byte is the one before plus a step known in advance, modulo the
// range: the chain is a running sum, and the sum's byte is looked up in a
// table as long as a block's, so that no byte waits for a division.
constexpr int kMaxStep = kLast + 11 + 13; // a byte, its position and its line
constexpr auto kSumBytes = [] {
    std::array<char, kRange + kSumBlock * kMaxStep> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(kFirst + i % kRange);
    return bytes;
}();

void scrambleRotating(CipherState& state, QByteArrayView plain, char* out) {
    const auto* in = reinterpret_cast<const std::uint8_t*>(plain.data());
    const qsizetype size = plain.size();
    const int phase = state.PositionStep - 2; // of byte 0 in kPositions, 1..9
    const unsigned line = static_cast<unsigned>(state.LineStep);
    unsigned sum = static_cast<unsigned>(state.ChainChar - kFirst);
    for (qsizetype from = 0; from < size; from += kSumBlock) {
        const qsizetype count = std::min(kSumBlock, size - from);
        const std::uint8_t* positions = kPositions.data() + (phase + from) % kCycle;
        sum %= kRange;
        for (qsizetype i = 0; i < count; ++i) {
            sum += in[from + i] + positions[i] + line;
            out[from + i] = kSumBytes[sum];
        }
    }
    if (size > 0) {
        state.PositionStep = 3 + (phase + size - 1) % kCycle;
        state.ChainChar = static_cast<signed char>(out[size - 1]);
    }
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

namespace {

// A printable byte after a printable link: `d` is the plain byte's offset
// in the printable range plus a whole number of ranges, from 40 to 249, and
// less a range where that does not wrap is the smaller of the two. The same
// for one byte and for sixteen side by side.
template <typename T> T plainByte(T in, T before, T position, std::uint8_t lineBase) {
    T d = static_cast<T>(in - before + lineBase - position);
    for (int k = 0; k < 2; ++k) {
        const T less = static_cast<T>(d - kRange);
        d = d < less ? d : less;
    }
    return static_cast<T>(d + kFirst);
}

typedef std::uint8_t Bytes __attribute__((vector_size(16)));
constexpr qsizetype kLanes = sizeof(Bytes);
static_assert(kLanes <= kSumBlock, "the positions table covers a vector");

// A line whose bytes and the link before it are all printable. Each byte
// depends only on itself, the byte before it and its place, so past the
// first byte they go sixteen at a time, the last sixteen overlapping the
// ones before. False, with nothing of the state changed, for any other
// line: it takes the walk.
bool unscrambleRotating(CipherState& state, QByteArrayView scrambled, char* plain) {
    const auto* in = reinterpret_cast<const std::uint8_t*>(scrambled.data());
    auto* out = reinterpret_cast<std::uint8_t*>(plain);
    const qsizetype size = scrambled.size();
    // 2 * kRange - kFirst less the line's shift: with the byte, the link
    // before it and the position, d stays in 0..255.
    const auto lineBase = static_cast<std::uint8_t>(2 * kRange - kFirst - state.LineStep);
    const int phase = state.PositionStep - 2; // of byte 0 in kPositions, 1..9
    const std::uint8_t* const positions = kPositions.data() + phase % kCycle;
    const auto link = static_cast<std::uint8_t>(state.ChainChar);
    bool printable = isPrintable(link);
    if (size <= kLanes) {
        for (qsizetype i = 0; i < size; ++i) {
            printable &= isPrintable(in[i]);
            out[i] =
                plainByte<std::uint8_t>(in[i], i == 0 ? link : in[i - 1], positions[i], lineBase);
        }
    } else {
        printable &= isPrintable(in[0]);
        out[0] = plainByte<std::uint8_t>(in[0], link, positions[0], lineBase);
        Bytes outside = {};
        for (qsizetype from = 1; from < size; from += kLanes) {
            const qsizetype at = std::min(from, size - kLanes);
            Bytes bytes, before, position;
            std::memcpy(&bytes, in + at, kLanes);
            std::memcpy(&before, in + at - 1, kLanes);
            std::memcpy(&position, kPositions.data() + (phase + at) % kCycle, kLanes);
            outside |= bytes - kFirst >= kRange;
            const Bytes d = plainByte(bytes, before, position, lineBase);
            std::memcpy(out + at, &d, kLanes);
        }
        std::uint64_t halves[2];
        std::memcpy(halves, &outside, sizeof halves);
        printable &= (halves[0] | halves[1]) == 0;
    }
    if (!printable)
        return false;
    if (size > 0) {
        state.PositionStep = 3 + (phase + size - 1) % kCycle;
        state.ChainChar = scrambled.back();
    }
    return true;
}

} // namespace

void UnscrambleLineInto(CipherState& state, QByteArrayView scrambled, QByteArray& plain) {
    plain.resize(scrambled.size());
    char* out = plain.data();
    if (!unscrambleRotating(state, scrambled, out)) {
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

void SkipScrambledLine(CipherState& state, QByteArrayView scrambled) {
    state.PositionStep = 3 + static_cast<int>((state.PositionStep - 3 + scrambled.size()) % kCycle);
    if (!scrambled.isEmpty())
        state.ChainChar = static_cast<signed char>(scrambled.back());
    advancePosition(state);
    advanceLine(state);
}

QByteArray UnscrambleLine(CipherState& state, QByteArrayView scrambled) {
    QByteArray plain;
    UnscrambleLineInto(state, scrambled, plain);
    return plain;
}
