// A logger's byte stream cut into reads of any size, as the reader thread
// frames it: header format from the second byte, header lines and their
// completion in both formats, then data with the newer format's escapes
// undone across read boundaries. Where the stream is cut must not change
// what comes out, and the newer header's score follows it read by read.
#include "decode/header_decode.h"
#include "link/reader_framing.h"
#include <QList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

constexpr int kMaxRead = 50; // the reader's raw area

struct Framed {
    QString header;
    qsizetype dataLength = 0; // of the data memo's text
    QByteArray unescaped;
    bool escapePending = false;
    bool rh = false;                             // given to the last scan of a newer header
    std::optional<bvlink::NewerHeaderScan> scan; // the last scan's
};

// Frames the stream read by read: the first `headerBytes` bytes as header,
// the rest as data.
Framed frame(const QByteArray& stream, qsizetype headerBytes, const QList<int>& cuts) {
    Framed out;
    // Room for all of it: growing read by read would copy it again and again.
    out.header.reserve(std::min(headerBytes, stream.size()));
    out.unescaped.reserve(stream.size());
    bvlink::NewerHeaderScanner scanner;
    int format = -1;
    int lineCount = 0;
    QByteArray firstBytes; // of the header, until they tell its format
    qsizetype at = 0;
    for (int k = 0; at < stream.size(); ++k) {
        // The data is asked for only once the header is complete: no read
        // holds both.
        const qsizetype end =
            at < headerBytes ? std::min(headerBytes, stream.size()) : stream.size();
        const qsizetype size = std::min<qsizetype>(cuts[k % cuts.size()], end - at);
        QByteArray read = QByteArray::fromRawData(stream.constData() + at, size);
        const bool header = at < headerBytes;
        at += size;
        if (header) {
            // Told by the second byte, which the reader waits for.
            if (format == -1) {
                firstBytes += read;
                if (firstBytes.size() >= 2)
                    format = bvlink::headerFormatOf(firstBytes);
            }
            lineCount += bvlink::countLineFeeds(read);
            out.header += bvlink::chunkText(read);
            if (format == 1)
                bvlink::olderHeaderCompletion(lineCount, read);
            else if (format == 2) {
                // Each scan from the RH the one before it found, as the reader's.
                out.rh = out.scan ? out.scan->rh : false;
                out.scan = scanner.scan(out.header, out.rh);
            }
            continue;
        }
        if (format == 2)
            read = bvlink::unescape(read, out.escapePending);
        out.unescaped += read;
        const QString text = bvlink::dataChunkText(read, format, static_cast<int>(out.dataLength));
        if (format != 1 && text.size() != 2 * read.size())
            std::abort(); // every data byte is two hex digits
        out.dataLength += text.size();
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    // Three bytes choose where the header ends (a newer header with RH is
    // longer than 255 bytes) and how the reads are cut.
    const qsizetype headerBytes = data[0] | data[1] << 8;
    const int cutSeed = data[2];
    const QByteArray stream(reinterpret_cast<const char*>(data + 3),
                            static_cast<qsizetype>(size - 3));
    QList<int> cuts;
    for (int k = 0; k < 8; ++k)
        cuts << 1 + (cutSeed * (k + 3) + k * k) % kMaxRead;

    const Framed pieces = frame(stream, headerBytes, cuts);
    const Framed whole = frame(stream, headerBytes, {kMaxRead});
    if (pieces.unescaped != whole.unescaped || pieces.escapePending != whole.escapePending)
        std::abort();
    // The header scanned read by read scores as the whole of it scanned at
    // once. Not the same score for both cuttings: each scan starts from the
    // RH that the one before it found, so a filter line before its channels
    // line counts 2 or 1 as the reads fall.
    for (const Framed* framed : {&pieces, &whole}) {
        if (!framed->scan)
            continue;
        const bvlink::NewerHeaderScan once = bvlink::newerHeaderScore(framed->header, framed->rh);
        if (framed->scan->score != once.score || framed->scan->rh != once.rh)
            std::abort();
    }

    // The header lines as the decoders walk them: always forward, never long.
    QString line;
    for (int position = 1; position <= pieces.header.size();) {
        const int next = decode::readHeaderLine(pieces.header, position, 256, line);
        if (line.size() > 255 || next < position)
            std::abort();
        if (next == position)
            break;
        position = next;
    }
    return 0;
}
