#pragma once
// How the reader thread frames what the logger sends: unescaping of data,
// recognition of the header format, completion of the two header formats and
// the text that a data chunk becomes. Plain functions of the bytes and texts.
#include <QByteArray>
#include <QString>
#include <array>

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

// Completeness score of a newer-format header (complete at exactly 4): a
// complete "No data" line counts 2, a complete "IIR filter ... last output"
// line 1 with RH and 2 without. A "%d channels" line tells RH (two channels)
// for the lines after it; `rh` is what holds before the first one.
struct NewerHeaderScan {
    int score = 0;
    bool rh = false; // as the last "%d channels" line read left it
};
NewerHeaderScan newerHeaderScore(const QString& text, bool rh);

// newerHeaderScore of a header that grows read by read, in time linear in its
// length: rescanning all of it after every read made the reader's work grow
// with the square of a header that never completes. Lines that more text
// cannot change are scored once, from both values that rh may hold before
// them (each scan starts from the rh the previous one left); only the last
// line is read again.
class NewerHeaderScanner {
  public:
    // newerHeaderScore(text, rh), `text` being what the previous scan was
    // given with text appended.
    NewerHeaderScan scan(const QString& text, bool rh);
    // For a new header.
    void reset() { *this = {}; }

  private:
    qsizetype m_length = 0; // of the text last scanned
    int m_position = 1;     // where the first line not yet scored begins
    // The scan of the lines before m_position from rh false and from rh true,
    // ended once it reached 4 as newerHeaderScore ends.
    std::array<NewerHeaderScan, 2> m_settled{{{.rh = false}, {.rh = true}}};
    QString m_line; // storage kept between lines
};

// A data chunk as text for the data memo: each byte as two upper-case hex
// digits, except that older-format replies carry their records as text once
// the memo holds 40 characters.
QString dataChunkText(const QByteArray& chunk, int headerFormat, int memoLength);

} // namespace bvlink
