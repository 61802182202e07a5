#include "link/reader_framing.h"
#include "app/controls.h"
#include <cstdio>

namespace bvlink {

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

int readHeaderLine(const QString& text, int position, QString& line) {
    line.clear();
    if (position < 1 || position > text.size())
        return position;
    int i = position - 1;
    while (i < text.size() && text[i] != '\r' && line.size() < 255)
        line.append(text[i++]);
    if (i < text.size() && text[i] == '\r') {
        ++i;
        if (i < text.size() && text[i] == '\n')
            ++i;
    }
    return i + 1;
}

int newerHeaderScore(const QString& text, FlagControl& RHBV) {
    int score = 0;
    int position = 1;
    while (score < 4 && position <= text.size()) {
        QString line;
        const int next = readHeaderLine(text, position, line);
        const bool complete = next >= 2 && next - 2 < text.size() && text[next - 2] == '\n';
        position = next;
        int channels = 0;
        if (complete && line.startsWith("No data")) {
            score += 2;
        } else if (line.startsWith("IIR filter") && line.contains("last output") && complete) {
            score += RHBV.checked() ? 1 : 2;
        } else if (std::sscanf(line.toLatin1().constData(), "%d channels", &channels) >= 1 &&
                   line.contains("channels")) {
            RHBV.setChecked(channels == 2);
        }
    }
    return score;
}

QString dataChunkText(const QByteArray& chunk, int headerFormat, int memoLength) {
    QString text;
    text.reserve(chunk.size() * 2);
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const auto byte = static_cast<unsigned char>(chunk[i]);
        if (headerFormat == 1 && memoLength + 2 * i >= 40)
            text.append(QChar(byte));
        else
            text.append(QString::asprintf("%02X", byte));
    }
    return text;
}

} // namespace bvlink
