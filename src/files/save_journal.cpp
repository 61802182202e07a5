#include "files/save_journal.h"
#include "files/data_file_format.h"
#include "platform/file_system.h"
#include <QDir>
#include <QFileInfo>

namespace files {
namespace {

constexpr char kFirstLine[] = "~Brenvale save journal";
constexpr char kLastLine[] = "~end";
// A journal names a few files; anything much larger is not one.
constexpr qint64 kMaxJournalSize = 1 << 20;

} // namespace

QString journalName(const QString& base) {
    return base + ".journal";
}

QByteArray journalText(const std::vector<JournalEntry>& entries) {
    QByteArray text = QByteArray(kFirstLine) + kLineEnd;
    for (const JournalEntry& e : entries)
        text += QByteArray::number(e.sizeBefore) + ", " + e.name.toUtf8() + kLineEnd;
    return text + kLastLine + kLineEnd;
}

std::optional<std::vector<JournalEntry>> parseJournal(QByteArrayView text) {
    QList<QByteArrayView> lines;
    for (QByteArrayView rest = text; !rest.isEmpty();) {
        const qsizetype end = rest.indexOf(QByteArrayView(kLineEnd));
        if (end < 0)
            return std::nullopt; // cut short inside a line
        lines.push_back(rest.first(end));
        rest = rest.sliced(end + 2);
    }
    if (lines.size() < 2 || lines.front() != kFirstLine || lines.back() != kLastLine)
        return std::nullopt;
    std::vector<JournalEntry> entries;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const qsizetype comma = lines[i].indexOf(", ");
        bool ok = false;
        const qint64 size = comma > 0 ? lines[i].first(comma).toLongLong(&ok) : 0;
        if (!ok || size < -1)
            return std::nullopt;
        entries.push_back({QString::fromUtf8(lines[i].sliced(comma + 2)), size});
    }
    return entries;
}

bool writeJournal(const QString& journal, const std::vector<JournalEntry>& entries) {
    platform::FileSystem& fs = platform::fileSystem();
    const QByteArray text = journalText(entries);
    QFile file(journal);
    const bool written =
        fs.open(file, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) &&
        fs.write(file, text) == text.size() && fs.sync(file);
    file.close();
    if (written && fs.syncFolder(platform::folderOf(journal)))
        return true;
    fs.remove(journal);
    return false;
}

bool commitJournal(const QString& journal) {
    platform::FileSystem& fs = platform::fileSystem();
    return fs.remove(journal) && fs.syncFolder(platform::folderOf(journal));
}

RollBack rollBackJournal(const QString& journal) {
    QFile file(journal);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? RollBack::Failed : RollBack::Nothing;
    const std::optional<std::vector<JournalEntry>> entries =
        parseJournal(file.read(kMaxJournalSize));
    file.close();
    platform::FileSystem& fs = platform::fileSystem();
    bool cut = true;
    for (const JournalEntry& e : entries ? *entries : std::vector<JournalEntry>()) {
        const QFileInfo info(e.name);
        if (!info.exists())
            continue;
        if (e.sizeBefore < 0)
            cut = fs.remove(e.name) && cut;
        else if (info.size() > e.sizeBefore)
            cut = fs.resize(e.name, e.sizeBefore) && cut;
    }
    // The removals reach the disk with the folder, before the journal goes.
    if (!cut || !fs.syncFolder(platform::folderOf(journal)) || !commitJournal(journal))
        return RollBack::Failed;
    return RollBack::RolledBack;
}

RollBack rollBackJournalsIn(const QString& folder) {
    RollBack result = RollBack::Nothing;
    const QByteArrayView firstLine(kFirstLine);
    for (const QFileInfo& info : QDir(folder).entryInfoList({"*.journal"}, QDir::Files)) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // A journal cut short inside its first line is still ours.
        const QByteArray head = file.read(firstLine.size());
        file.close();
        if (!firstLine.startsWith(head) || (head.isEmpty() && info.size() > 0))
            continue;
        const RollBack one = rollBackJournal(info.filePath());
        if (one == RollBack::Failed)
            result = RollBack::Failed;
        else if (one == RollBack::RolledBack && result == RollBack::Nothing)
            result = RollBack::RolledBack;
    }
    return result;
}

} // namespace files
