#pragma once
// The encrypted duplicate (.bvx) written beside a plain data file: the
// format and user lines in the clear, then every line of the plain file
// scrambled behind a '?'. Only duplicates load back.
#include "files/cipher.h"
#include "platform/clock.h"
#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace files {

// "data.csv" -> "data.bvx"; a name without an extension gets one.
QString duplicateName(const QString& plainName);

// Writes a plain data file and its duplicate in one pass: the plain text
// written here goes on to `plain`, and each of its lines, once complete,
// goes scrambled to `duplicate`. Every write is checked, and the first
// that fails ends the writing of both: the devices should be unbuffered,
// so that a short write (a full disk) shows here.
class DuplicatingWriter : public QIODevice {
  public:
    DuplicatingWriter(QIODevice& plain, QIODevice& duplicate, const QString& pattern,
                      platform::DateTime created, const QByteArray& userLines);
    // Scrambles a last line left without its line end and writes out the rest.
    void finish();
    // Whether every write went through; at most one of them is false.
    bool plainWritten() const { return m_plainWritten; }
    bool duplicateWritten() const { return m_duplicateWritten; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

  private:
    // Scrambles a complete line (no line end) and empties m_line.
    void scrambleLine(QByteArrayView line);
    void writeDuplicate();

    QIODevice& m_plain;
    QIODevice& m_duplicate;
    CipherState m_state;
    QByteArray m_line;      // the plain line not yet complete
    QByteArray m_scrambled; // duplicate text not yet written
    bool m_plainWritten = true;
    bool m_duplicateWritten = true;
};

} // namespace files
