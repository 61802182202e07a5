#pragma once
// The roll-back journal of a save that appends to files: before the first
// byte is appended it names every file the save will touch and the size each
// had (or that it did not exist), and it is on the disk before that byte is.
// It is removed only once the appended bytes are on the disk too, so a
// journal that is still there means that its save never finished: rolling
// it back cuts every file it names to its size before, or removes it.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace files {

struct JournalEntry {
    QString name;
    qint64 sizeBefore = -1; // -1: the file did not exist
};

// The journal of the saves with this base name, beside their files.
QString journalName(const QString& base);

QByteArray journalText(const std::vector<JournalEntry>& entries);
// The entries of a complete journal; nothing for a journal cut short, whose
// save cannot have appended anything yet.
std::optional<std::vector<JournalEntry>> parseJournal(QByteArrayView text);

// Writes the journal and puts it on the disk. False when that failed; no
// journal is left then.
bool writeJournal(const QString& journal, const std::vector<JournalEntry>& entries);
// The save finished and its files are on the disk: the journal goes.
bool commitJournal(const QString& journal);

enum class RollBack { Nothing, RolledBack, Failed };
// Takes an unfinished save back out of its files and removes its journal.
// Failed when a file could not be cut back; the journal then stays for the
// next try.
RollBack rollBackJournal(const QString& journal);
// At start-up: rolls back every journal of ours in `folder` (a file named
// *.journal that does not start as a journal is someone else's and stays).
// Failed when any roll-back failed.
RollBack rollBackJournalsIn(const QString& folder);

} // namespace files
