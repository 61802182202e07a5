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

bool writeDuplicate(QIODevice& out, QIODevice& plain, const QString& pattern,
                    platform::DateTime created, const QByteArray& userLines) {
    constexpr qsizetype kChunk = 1 << 16;
    QByteArray text = formatHeaderLines(pattern, created) + userLines;
    text.reserve(kChunk + 1024);
    CipherState state;
    LineReader reader(plain);
    QByteArrayView line;
    while (reader.next(line)) {
        text += '?';
        text += ScrambleLine(state, line);
        text += kLineEnd;
        if (text.size() >= kChunk) {
            out.write(text);
            text.resize(0);
        }
    }
    out.write(text);
    return !reader.failed();
}

} // namespace files
