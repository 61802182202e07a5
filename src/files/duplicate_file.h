#pragma once
// The encrypted duplicate (.bvx) written beside a plain data file: the
// format and user lines in the clear, then every line of the plain file
// scrambled behind a '?'. Only duplicates load back.
#include "platform/clock.h"
#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace files {

// "data.csv" -> "data.bvx"; a name without an extension gets one.
QString duplicateName(const QString& plainName);

enum class DuplicateResult { Written, ReadFailed, WriteFailed };

// Writes the duplicate of the plain file read from `plain`. Every write is
// checked: `out` should be unbuffered, so that a short write shows here.
DuplicateResult writeDuplicate(QIODevice& out, QIODevice& plain, const QString& pattern,
                               platform::DateTime created, const QByteArray& userLines);

} // namespace files
