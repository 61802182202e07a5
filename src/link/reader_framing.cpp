#include "link/reader_framing.h"
#include "decode/header_decode.h"
#include "decode/scan_pattern.h"
#include <algorithm>
#include <optional>

namespace bvlink {
namespace {

// The words of the newer header's progress, measured once at compile time:
// the last line of the header is read again after every read.
constexpr QStringView kNoData = u"No data";
constexpr QStringView kIirFilter = u"IIR filter";
constexpr QStringView kLastOutput = u"last output";
constexpr QStringView kChannels = u"channels";

// The number a line begins with, blanks before it skipped.
std::optional<int> leadingNumber(const QString& line) {
    const QByteArray latin1 = line.toLatin1();
    int value = 0;
    if (decode::scanLine(std::string_view(latin1.constData(), latin1.size()), "%d", {&value}) != 1)
        return std::nullopt;
    return value;
}

// A header line as the decoders read it (at most 255 characters, up to a CR,
// the CR and an LF after it passed over) and whether it ended on a line feed.
struct HeaderLine {
    int next; // where the line after it begins
    bool complete;
};
HeaderLine readLine(const QString& text, int position, QString& line) {
    constexpr int kLineMax = 256; // the decoder's: lines of at most 255 characters
    const int next = decode::readHeaderLine(text, position, kLineMax, line);
    return {.next = next,
            .complete = next >= 2 && next - 2 < text.size() && text[next - 2] == '\n'};
}

// One line's part in the score.
void scoreLine(const QString& line, bool complete, NewerHeaderScan& scan) {
    if (complete && line.startsWith(kNoData)) {
        scan.score += 2;
    } else if (line.startsWith(kIirFilter) && line.contains(kLastOutput) && complete) {
        scan.score += scan.rh ? 1 : 2;
    } else if (line.contains(kChannels)) {
        if (const auto channels = leadingNumber(line))
            scan.rh = *channels == 2;
    }
}

} // namespace

QByteArray unescape(const QByteArray& raw, bool& escapePending) {
    QByteArray out;
    out.reserve(raw.size());
    for (const char byte : raw) {
        if (escapePending) {
            out.append(byte);
            escapePending = false;
        } else if (byte == kEscapeByte) {
            escapePending = true;
        } else {
            out.append(byte);
        }
    }
    return out;
}

int headerFormatOf(const QByteArray& firstBytes) {
    return firstBytes.size() >= 2 && firstBytes[1] == '0' ? 2 : 1;
}

int countLineFeeds(const QByteArray& chunk) {
    return static_cast<int>(chunk.count('\n'));
}

QString chunkText(const QByteArray& chunk) {
    const qsizetype end = chunk.indexOf('\0');
    return QString::fromLatin1(end < 0 ? chunk : chunk.left(end));
}

OlderHeader olderHeaderCompletion(int lineCount, const QByteArray& chunk) {
    if (chunk.isEmpty() || chunk.back() != '\n')
        return OlderHeader::Incomplete;
    if (lineCount == 26)
        return OlderHeader::TemperatureModel;
    if (lineCount == 38)
        return OlderHeader::RhModel;
    return OlderHeader::Incomplete;
}

NewerHeaderScan newerHeaderScore(const QString& text, bool rh) {
    NewerHeaderScan scan{.rh = rh};
    int position = 1;
    QString line;
    while (scan.score < 4 && position <= text.size()) {
        const HeaderLine read = readLine(text, position, line);
        position = read.next;
        scoreLine(line, read.complete, scan);
    }
    return scan;
}

NewerHeaderScan NewerHeaderScanner::scan(const QString& text, bool rh) {
    if (text.size() < m_length)
        reset(); // not the header scanned so far
    m_length = text.size();
    const auto ended = [](const NewerHeaderScan& s) { return s.score >= 4; };
    while (!std::ranges::all_of(m_settled, ended) && m_position <= text.size()) {
        const HeaderLine read = readLine(text, m_position, m_line);
        // A line at the end of the text may still grow, a CR there still
        // take its LF: it counts for this scan only.
        const qsizetype end = m_position - 1 + m_line.size();
        if (end == text.size() || (text[end] == u'\r' && end + 1 == text.size())) {
            NewerHeaderScan scan = m_settled[rh];
            if (!ended(scan))
                scoreLine(m_line, read.complete, scan);
            return scan;
        }
        for (NewerHeaderScan& settled : m_settled)
            if (!ended(settled))
                scoreLine(m_line, read.complete, settled);
        m_position = read.next;
    }
    return m_settled[rh];
}

QString dataChunkText(const QByteArray& chunk, int headerFormat, int memoLength) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString text(chunk.size() * 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const auto byte = static_cast<unsigned char>(chunk[i]);
        if (headerFormat == 1 && memoLength + 2 * i >= 40) {
            *out++ = QChar(byte);
        } else {
            *out++ = QLatin1Char(kHex[byte >> 4]);
            *out++ = QLatin1Char(kHex[byte & 0xF]);
        }
    }
    text.truncate(out - text.constData());
    return text;
}

} // namespace bvlink
