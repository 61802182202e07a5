#include "files/monthly_files.h"
#include "files/data_file_format.h"
#include "files/data_file_reader.h"
#include "files/duplicate_file.h"
#include "files/save_journal.h"
#include "platform/file_system.h"
#include "platform/formatting.h"
#include <QDate>
#include <QFileInfo>
#include <algorithm>

namespace files {
namespace {

constexpr qsizetype kWriteChunk = 1 << 16;

// The size of a plain file without a last line that has no line end (a row
// cut short by an older version or a copy made mid-write), after cutting
// that line off, so that no row is ever joined to it; -1 when the file does
// not exist. Nothing when the line could not be cut off.
std::optional<qint64> cutUnfinishedRow(const QString& name) {
    QFile file(name);
    if (!file.exists())
        return -1;
    if (!file.open(QIODevice::ReadOnly))
        return file.size();
    // Back from the end a block at a time to the last line end.
    constexpr qint64 kBlock = 4096;
    qint64 end = file.size();
    const qint64 size = end;
    while (end > 0) {
        const qint64 from = std::max<qint64>(0, end - kBlock);
        file.seek(from);
        const QByteArray block = file.read(end - from);
        const qsizetype lf = block.lastIndexOf('\n');
        if (lf >= 0) {
            end = from + lf + 1;
            break;
        }
        end = from;
    }
    file.close();
    if (end == size)
        return size;
    return platform::fileSystem().resize(name, end) ? std::optional<qint64>(end) : std::nullopt;
}

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
        if (line.startsWith('~') || !reader.lastHadLineEnd())
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
    : m_base(base), m_channel(channel), m_headers(headers), m_chain(chain), m_chainBefore(chain),
      m_journal(journalName(base)) {}

MonthlyAppend::~MonthlyAppend() = default;

DuplicateChoice chooseDuplicate(const AppendChain& chain, const QString& plainName) {
    // A duplicate is continued only by the chain that wrote it in this run;
    // any other duplicate of that name gets a numbered sibling and a fresh
    // chain, so that every duplicate stays one chain that loads.
    if (chain.started && chain.plainName == plainName && QFileInfo::exists(chain.duplicateName))
        return {.name = chain.duplicateName, .continued = true};
    const QString dup = duplicateName(plainName);
    return {.name = QFileInfo::exists(dup) ? numberedDuplicateName(dup) : dup};
}

bool MonthlyAppend::begin(platform::DateTime first, platform::DateTime last) {
    std::vector<JournalEntry> entries;
    AppendChain chain = m_chain;
    const platform::DateTimeParts from = platform::decodeDateTime(first);
    const platform::DateTimeParts to = platform::decodeDateTime(last);
    for (QDate month(from.year, from.month, 1);
         month.year() * 12 + month.month() <= to.year * 12 + to.month; month = month.addMonths(1)) {
        const QString plain = monthlyFileName(m_base, m_channel,
                                              platform::encodeDate(month.year(), month.month(), 1));
        const std::optional<qint64> plainSize = cutUnfinishedRow(plain);
        if (!plainSize)
            return false;
        const QString dup = chooseDuplicate(chain, plain).name;
        const QFileInfo dupInfo(dup);
        entries.push_back({.name = plain, .sizeBefore = *plainSize});
        entries.push_back({.name = dup, .sizeBefore = dupInfo.exists() ? dupInfo.size() : -1});
        m_begunMonths << plain;
        chain = AppendChain(); // every later month starts a chain of its own
    }
    if (writeJournal(m_journal, entries))
        return true;
    m_begunMonths.clear();
    return false;
}

MonthlyAppend::Opened MonthlyAppend::openMonth(platform::DateTime t) {
    m_plainName = monthlyFileName(m_base, m_channel, t);
    if (!m_begunMonths.contains(m_plainName))
        return Opened::PlainFailed;
    m_chainBeforeMonth = m_chain;
    const DuplicateChoice dup = chooseDuplicate(m_chain, m_plainName);
    if (!dup.continued)
        m_chain = {.started = true,
                   .state = CipherState(),
                   .plainName = m_plainName,
                   .duplicateName = dup.name};
    const QFileInfo plainInfo(m_plainName), dupInfo(dup.name);
    const qint64 plainBefore = plainInfo.exists() ? plainInfo.size() : -1;
    const qint64 dupBefore = dupInfo.exists() ? dupInfo.size() : -1;
    if (!open(m_plain, m_plainName))
        return Opened::PlainFailed;
    if (!open(m_dup, dup.name)) {
        discardMonth(plainBefore);
        return Opened::DuplicateFailed;
    }
    m_created = m_created || plainBefore < 0 || dupBefore < 0;
    if (plainBefore <= 0)
        write(m_plain, m_headers.plainHead);
    if (dupBefore <= 0)
        write(m_dup, m_headers.dupHead);
    return Opened::Both;
}

bool MonthlyAppend::open(Target& target, const QString& name) {
    target.file = std::make_unique<QFile>(name);
    // Unbuffered, so that every short write shows where it happens.
    if (!platform::fileSystem().open(*target.file, QIODevice::WriteOnly | QIODevice::Append |
                                                       QIODevice::Unbuffered)) {
        target.file.reset();
        return false;
    }
    return true;
}

void MonthlyAppend::discardMonth(qint64 plainSizeBefore) {
    // The plain file of a month whose duplicate cannot be opened goes back too.
    close(m_plain);
    platform::FileSystem& fs = platform::fileSystem();
    if (plainSizeBefore < 0)
        fs.remove(m_plainName);
    else
        fs.resize(m_plainName, plainSizeBefore);
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
    if (platform::fileSystem().write(*target.file, target.pending) != target.pending.size())
        m_writeFailed = true;
    target.pending.resize(0);
    return !m_writeFailed;
}

bool MonthlyAppend::close(Target& target) {
    if (!target.file)
        return !m_writeFailed;
    if (flush(target) && !platform::fileSystem().sync(*target.file))
        m_writeFailed = true;
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

bool MonthlyAppend::commit() {
    if (!closeMonth())
        return false;
    if (m_begunMonths.isEmpty())
        return true;
    if (m_created && !platform::fileSystem().syncFolder(platform::folderOf(m_journal)))
        return false;
    return commitJournal(m_journal);
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
    rollBackJournal(m_journal);
    m_chain = m_chainBefore;
}

} // namespace files
