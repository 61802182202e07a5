#include "link/reader_framing.h"
#include "decode/header_decode.h"
#include "decode/scan_pattern.h"
#include <optional>

namespace bvlink {
namespace {

// The words of the newer header's progress, measured once at compile time:
// the header is rescanned after every read.
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
    constexpr int kLineMax = 256; // the decoder's: lines of at most 255 characters
    NewerHeaderScan scan{.rh = rh};
    int position = 1;
    QString line;
    while (scan.score < 4 && position <= text.size()) {
        const int next = decode::readHeaderLine(text, position, kLineMax, line);
        const bool complete = next >= 2 && next - 2 < text.size() && text[next - 2] == '\n';
        position = next;
        if (complete && line.startsWith(kNoData)) {
            scan.score += 2;
        } else if (line.startsWith(kIirFilter) && line.contains(kLastOutput) && complete) {
            scan.score += scan.rh ? 1 : 2;
        } else if (line.contains(kChannels)) {
            if (const auto channels = leadingNumber(line))
                scan.rh = *channels == 2;
        }
    }
    return scan;
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
