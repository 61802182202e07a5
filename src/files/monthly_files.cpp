#include "files/monthly_files.h"
#include "files/data_file_format.h"
#include "files/data_file_reader.h"
#include "files/duplicate_file.h"
#include "platform/formatting.h"
#include <QDate>
#include <QFileInfo>

namespace files {
namespace {

constexpr qsizetype kWriteChunk = 1 << 16;

} // namespace

QString monthlyFileName(const QString& base, int channel, platform::DateTime t) {
    const qsizetype slash = base.lastIndexOf('/');
    const QString folder = base.left(slash + 1);
    QString name = base.mid(slash + 1);
    if (!name.contains('.'))
        name += ".csv";
    return folder + "T" + QString::number(channel) + platform::formatDateTimeFixed("yyyymm", t) +
           name;
}

QString numberedDuplicateName(const QString& duplicate) {
    const QString stem = duplicate.left(duplicate.size() - 4) + "_";
    int n = 0;
    while (n < 9999 && QFileInfo::exists(stem + QString::number(n) + ".bxv"))
        ++n;
    return stem + QString::number(n) + ".bxv";
}

std::optional<platform::DateTime> newestRowTime(QIODevice& file, const QString& pattern,
                                                DateOrder order) {
    const qsizetype prefix = datePrefixLength(pattern);
    std::optional<platform::DateTime> newest;
    LineReader reader(file);
    QByteArrayView line;
    while (reader.next(line)) {
        if (line.startsWith('~'))
            continue;
        if (const std::optional<platform::DateTime> t = rowDateTime(line, prefix, order))
            newest = t;
    }
    return newest;
}

SavedMonths savedMonths(const QString& base, int channel, platform::DateTime first,
                        const DetectedFormat& chosen) {
    SavedMonths saved;
    saved.lastFile = monthlyFileName(base, channel, first);
    // The rows of every month are read in the format of the first month's file.
    DetectedFormat format = chosen;
    const QDate firstMonth = platform::toQDateTime(first).date();
    for (QDate month = firstMonth;; month = month.addMonths(1)) {
        QFile file(
            monthlyFileName(base, channel, platform::encodeDate(month.year(), month.month(), 1)));
        const bool opened = file.open(QIODevice::ReadOnly);
        if (month == firstMonth) {
            saved.firstMissing = !opened && !file.exists();
            if (opened) {
                saved.format = detectDateFormat(file);
                if (saved.format->format)
                    format = *saved.format->format;
                file.seek(0);
            }
        }
        if (!opened)
            return saved;
        saved.lastFile = file.fileName();
        if (const auto rowTime =
                newestRowTime(file, format.pattern, dateOrderOf(format.shortDateFormat)))
            saved.newest = rowTime;
    }
}

MonthlyHeaders monthlyHeaders(const QString& pattern, platform::DateTime created,
                              const QByteArray& userLines) {
    return {pattern, plainHeaderLines(pattern, created, userLines),
            formatHeaderLines(pattern, created) + userLines};
}

MonthlyAppend::MonthlyAppend(const QString& base, int channel, const MonthlyHeaders& headers,
                             AppendChain& chain)
    : m_base(base), m_channel(channel), m_headers(headers), m_chain(chain), m_chainBefore(chain) {}

MonthlyAppend::~MonthlyAppend() = default;

MonthlyAppend::Opened MonthlyAppend::openMonth(platform::DateTime t) {
    m_plainName = monthlyFileName(m_base, m_channel, t);
    const QString dup = duplicateName(m_plainName);
    // A duplicate is continued only by the chain that wrote it in this run;
    // any other duplicate of that name gets a numbered sibling and a fresh
    // chain, so that every duplicate stays one chain that loads.
    m_chainBeforeMonth = m_chain;
    const bool continued = m_chain.started && m_chain.plainName == m_plainName &&
                           QFileInfo::exists(m_chain.duplicateName);
    if (!continued) {
        m_chain.started = true;
        m_chain.state = CipherState();
        m_chain.plainName = m_plainName;
        m_chain.duplicateName = QFileInfo::exists(dup) ? numberedDuplicateName(dup) : dup;
    }
    if (!open(m_plain, m_plainName))
        return Opened::PlainFailed;
    if (!open(m_dup, m_chain.duplicateName)) {
        discardMonth();
        return Opened::DuplicateFailed;
    }
    if (m_touched[m_touched.size() - 2].sizeBefore <= 0)
        write(m_plain, m_headers.plainHead);
    if (m_touched.back().sizeBefore <= 0)
        write(m_dup, m_headers.dupHead);
    return Opened::Both;
}

bool MonthlyAppend::open(Target& target, const QString& name) {
    const QFileInfo info(name);
    const qint64 before = info.exists() ? info.size() : -1;
    target.file = std::make_unique<QFile>(name);
    // Unbuffered, so that every short write shows where it happens.
    if (!target.file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        target.file.reset();
        return false;
    }
    m_touched.push_back({name, before});
    return true;
}

void MonthlyAppend::discardMonth() {
    // The plain file of a month whose duplicate cannot be opened goes back too.
    close(m_plain);
    const Touched plain = m_touched.back();
    m_touched.pop_back();
    if (plain.sizeBefore < 0)
        QFile::remove(plain.name);
    else
        QFile::resize(plain.name, plain.sizeBefore);
    m_chain = m_chainBeforeMonth;
}

void MonthlyAppend::write(Target& target, const QByteArray& bytes) {
    target.pending += bytes;
    if (target.pending.size() >= kWriteChunk)
        flush(target);
}

bool MonthlyAppend::flush(Target& target) {
    if (!target.file || target.pending.isEmpty())
        return !m_writeFailed;
    if (target.file->write(target.pending) != target.pending.size())
        m_writeFailed = true;
    target.pending.resize(0);
    return !m_writeFailed;
}

bool MonthlyAppend::close(Target& target) {
    if (!target.file)
        return !m_writeFailed;
    flush(target);
    target.file->close();
    if (target.file->error() != QFileDevice::NoError)
        m_writeFailed = true;
    target.file.reset();
    return !m_writeFailed;
}

bool MonthlyAppend::closeMonth() {
    const bool plain = close(m_plain);
    const bool dup = close(m_dup);
    return plain && dup;
}

void MonthlyAppend::appendRow(const QByteArray& firstFields, const std::array<int, 7>& events,
                              bool scrambled) {
    QByteArray row = firstFields;
    appendEventCounts(row, events);
    row += kLineEnd;
    write(m_plain, row);
    if (scrambled && m_dup.file)
        write(m_dup, '?' + ScrambleLine(m_chain.state, firstFields) + kLineEnd);
}

void MonthlyAppend::rollBack() {
    m_plain.pending.clear();
    m_dup.pending.clear();
    m_plain.file.reset();
    m_dup.file.reset();
    for (const Touched& t : m_touched) {
        if (t.sizeBefore < 0)
            QFile::remove(t.name);
        else
            QFile::resize(t.name, t.sizeBefore);
    }
    m_touched.clear();
    m_chain = m_chainBefore;
}

} // namespace files
