#pragma once
// The line scrambler of the encrypted duplicates (.bvx). Each byte of a line
// is rotated forward by an amount that depends on the byte before it in the
// scrambled stream, its position in the line and the line's number, so one
// state runs unbroken through a whole file: a line scrambled or unscrambled
// out of order does not come back.
#include <QByteArray>
#include <QByteArrayView>

// The first link of the chain; the same for every writer and the reader.
constexpr char kChainSeed = 'K';

struct CipherState {
    signed char ChainChar = kChainSeed; // last scrambled byte produced or consumed
    int PositionStep = 3;               // 3..11, advanced before every position of a line
    int LineStep = 0;                   // 0..13, advanced after every line
};

// Rotates one byte forward by n steps: printable bytes cycle through 32..126,
// the others climb until they wrap into that range (127 becomes 32).
unsigned char scrambleByte(unsigned char c, int n);
// The inverse walk: printable bytes cycle backwards through 32..126, bytes
// below 32 or above 127 fall to 126.
unsigned char unscrambleByte(unsigned char c, int n);

// Scrambles one line (no line end) and advances the state past its line end.
// The caller writes '?', the result and the line end.
QByteArray ScrambleLine(CipherState& state, QByteArrayView plain);
// As ScrambleLine, appending the scrambled bytes to `out`.
void ScrambleLineAppend(CipherState& state, QByteArrayView plain, QByteArray& out);
// Unscrambles the bytes that follow the '?' of a scrambled line (no line
// end) and advances the state past the line end.
QByteArray UnscrambleLine(CipherState& state, QByteArrayView scrambled);
// As UnscrambleLine, into a buffer that the caller reuses from line to line.
void UnscrambleLineInto(CipherState& state, QByteArrayView scrambled, QByteArray& plain);
// Advances the state past a scrambled line as UnscrambleLine does, without
// its text: the state after a line depends only on its length and last byte.
void SkipScrambledLine(CipherState& state, QByteArrayView scrambled);
