#include "files/duplicate_file.h"
#include "files/cipher.h"
#include "files/data_file_format.h"
#include "files/data_file_reader.h"

namespace files {

QString duplicateName(const QString& plainName) {
    const qsizetype dot = plainName.lastIndexOf('.');
    const qsizetype slash = plainName.lastIndexOf('/');
    const QString base = dot > slash ? plainName.left(dot) : plainName;
    return base + ".bvx";
}

DuplicateResult writeDuplicate(QIODevice& out, QIODevice& plain, const QString& pattern,
                               platform::DateTime created, const QByteArray& userLines) {
    constexpr qsizetype kChunk = 1 << 16;
    QByteArray text = formatHeaderLines(pattern, created) + userLines;
    text.reserve(kChunk + 1024);
    bool written = true;
    CipherState state;
    LineReader reader(plain);
    QByteArrayView line;
    while (reader.next(line)) {
        text += '?';
        text += ScrambleLine(state, line);
        text += kLineEnd;
        if (text.size() >= kChunk) {
            written = out.write(text) == text.size() && written;
            text.resize(0);
        }
    }
    written = out.write(text) == text.size() && written;
    if (reader.failed())
        return DuplicateResult::ReadFailed;
    return written ? DuplicateResult::Written : DuplicateResult::WriteFailed;
}

} // namespace files
