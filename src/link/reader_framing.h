#pragma once
// How the reader thread frames what the logger sends: unescaping of data,
// recognition of the header format, completion of the two header formats and
// the text that a data chunk becomes. Plain functions of the bytes and texts.
#include <QByteArray>
#include <QString>

class FlagControl;

namespace bvlink {

// The escape byte of newer-format data: it makes the next byte literal.
constexpr char kEscapeByte = 0x5C;

// Drops escape bytes and keeps the byte after each. `escapePending` carries an
// escape at the end of one read over to the next read.
QByteArray unescape(const QByteArray& raw, bool& escapePending);

// 2 when the second byte is "0" (a newer header begins "001"), else 1.
int headerFormatOf(const QByteArray& firstBytes);

int countLineFeeds(const QByteArray& chunk);

// A chunk as header or idle text: single-byte characters up to the first zero byte.
QString chunkText(const QByteArray& chunk);

// Older-format completion after a chunk: 26 lines ending on the chunk's last
// byte is the temperature model, 38 the RH model.
enum class OlderHeader { Incomplete, TemperatureModel, RhModel };
OlderHeader olderHeaderCompletion(int lineCount, const QByteArray& chunk);

// The header line at the 1-based `position`: up to the next CR (at most 255
// characters); the returned position is past that CR and one LF after it. A
// position past the end gives an empty line and the same position.
int readHeaderLine(const QString& text, int position, QString& line);

// Completeness score of a newer-format header (complete at exactly 4): a
// complete "No data" line counts 2, a complete "IIR filter ... last output"
// line 1 with RH and 2 without; a "%d channels" line sets RHBV on the way.
int newerHeaderScore(const QString& text, FlagControl& RHBV);

// A data chunk as text for the data memo: each byte as two upper-case hex
// digits, except that older-format replies carry their records as text once
// the memo holds 40 characters.
QString dataChunkText(const QByteArray& chunk, int headerFormat, int memoLength);

} // namespace bvlink
