#include "files/duplicate_file.h"
#include "files/data_file_format.h"
#include <cstring>

namespace files {
namespace {

constexpr qsizetype kChunk = 1 << 16;

} // namespace

QString duplicateName(const QString& plainName) {
    const qsizetype dot = plainName.lastIndexOf('.');
    const qsizetype slash = plainName.lastIndexOf('/');
    const QString base = dot > slash ? plainName.left(dot) : plainName;
    return base + ".bvx";
}

DuplicatingWriter::DuplicatingWriter(QIODevice& plain, QIODevice& duplicate, const QString& pattern,
                                     platform::DateTime created, const QByteArray& userLines)
    : m_plain(plain), m_duplicate(duplicate),
      m_scrambled(formatHeaderLines(pattern, created) + userLines) {
    m_scrambled.reserve(kChunk + 1024);
    open(QIODevice::WriteOnly);
}

qint64 DuplicatingWriter::writeData(const char* data, qint64 size) {
    // The first failed write ends the save; the other file is not written on.
    if (!m_plainWritten || !m_duplicateWritten)
        return -1;
    m_plainWritten = m_plain.write(data, size) == size;
    const char* const end = data + size;
    while (data < end) {
        const char* stop = static_cast<const char*>(std::memchr(data, '\n', end - data));
        if (!stop) {
            m_line.append(data, end - data);
            break;
        }
        // A line whole in this write is scrambled where it lies.
        QByteArrayView line(data, stop - data);
        if (!m_line.isEmpty()) {
            m_line.append(line);
            line = m_line;
        }
        if (line.endsWith('\r'))
            line.chop(1);
        scrambleLine(line);
        data = stop + 1;
    }
    if (m_plainWritten && m_scrambled.size() >= kChunk)
        writeDuplicate();
    return m_plainWritten ? size : -1;
}

void DuplicatingWriter::scrambleLine(QByteArrayView line) {
    m_scrambled += '?';
    ScrambleLineAppend(m_state, line, m_scrambled);
    m_scrambled += kLineEnd;
    m_line.resize(0);
}

void DuplicatingWriter::writeDuplicate() {
    m_duplicateWritten = m_duplicate.write(m_scrambled) == m_scrambled.size();
    m_scrambled.resize(0);
}

void DuplicatingWriter::finish() {
    if (!m_plainWritten || !m_duplicateWritten)
        return;
    if (!m_line.isEmpty())
        scrambleLine(m_line);
    writeDuplicate();
}

} // namespace files
