#pragma once
// The monthly files of the automatic downloads: per channel and calendar
// month a plain data file "T<channel><yyyymm><base name>" and its scrambled
// duplicate, appended download after download. A download either lands
// whole in them or leaves them as they were, whenever the program dies: a
// journal beside them names every file it touches and its size before, so
// that a download that never finished is cut back out of them (at once when
// a write fails, else at the start of the next download), no half row and no
// broken chain remains, and the next download fetches those samples again.
#include "files/cipher.h"
#include "files/data_file_reader.h"
#include "platform/clock.h"
#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace files {

// The plain file of `channel` (1 or 2) for the month of t: the folder of
// `base`, "T", the channel digit, yyyymm and the file name of `base`, with
// ".csv" added when that name has no extension.
QString monthlyFileName(const QString& base, int channel, platform::DateTime t);

// For a duplicate "X.bvx" that exists: the first of "X_0.bxv" ... "X_9999.bxv"
// that does not (the last one when all do).
QString numberedDuplicateName(const QString& duplicate);

// A channel's chain of scrambled rows in this run of the program: the
// scrambler's state and the duplicate whose rows it carries.
struct AppendChain {
    bool started = false;
    CipherState state;
    QString plainName;     // the monthly plain file the duplicate belongs to
    QString duplicateName; // its .bvx, or the numbered .bxv of a later run
};

// The duplicate that the rows of `plainName` go to: the chain's own when it
// continues it in this run, else a new one, numbered when its .bvx exists.
struct DuplicateChoice {
    QString name;
    bool continued = false;
};
DuplicateChoice chooseDuplicate(const AppendChain& chain, const QString& plainName);

// The time stamp of the last data row (a line not starting with '~') of a
// plain data file written with `pattern`, its dates read in `order`; rows
// whose date does not read are passed over, and so is a last line without its
// line end, which is a row cut short. Nothing when no row reads.
std::optional<platform::DateTime> newestRowTime(QIODevice& file, const QString& pattern,
                                                DateOrder order);

// What the monthly files of one channel already hold, read month after month
// from the month of `first` up to the first month without a file. Reads
// files and changes nothing: the caller takes the format over.
struct SavedMonths {
    // No file yet for the month of `first`: nothing saved, the normal case
    // before the first download of a month.
    bool firstMissing = false;
    // The date format search of that month's file; nothing when it is there
    // but did not open.
    std::optional<DateFormatSearch> format;
    // The newest row's time, read in the format found, else in `chosen`.
    std::optional<platform::DateTime> newest;
    // The last month's file that opened (the first month's when none did).
    QString lastFile;
};
SavedMonths savedMonths(const QString& base, int channel, platform::DateTime first,
                        const DetectedFormat& chosen);

// The texts a download writes besides its rows.
struct MonthlyHeaders {
    QString pattern;      // the date format of the rows
    QByteArray plainHead; // header lines 1 to 8 of a new plain file
    QByteArray dupHead;   // the plain header block of a new duplicate
};
MonthlyHeaders monthlyHeaders(const QString& pattern, platform::DateTime created,
                              const QByteArray& userLines);

// One download appended to the monthly files of one channel.
class MonthlyAppend {
  public:
    enum class Opened { Both, PlainFailed, DuplicateFailed };

    // `chain` is the channel's chain of this run; it is advanced as rows are
    // scrambled and put back by rollBack().
    MonthlyAppend(const QString& base, int channel, const MonthlyHeaders& headers,
                  AppendChain& chain);
    ~MonthlyAppend();

    // Before the first row: journals the files of every month from `first`
    // to `last`, after cutting off a row that an older save left unfinished
    // at the end of a plain file. False when that failed: nothing may be
    // written then.
    bool begin(platform::DateTime first, platform::DateTime last);
    // Opens the month of t, one of those begun: the plain file for appending
    // (header lines when new) and the duplicate that the chain rules choose.
    // When either cannot be opened nothing of this month is kept.
    Opened openMonth(platform::DateTime t);
    // Puts the month's files on the disk and closes them; false when a
    // write, the sync or the close failed.
    bool closeMonth();
    // The download is on the disk: closes the month and ends the journal.
    // False when that failed; rollBack() then takes it out again.
    bool commit();
    QString plainName() const { return m_plainName; }

    // The twelve-field row to the plain file; its first five fields,
    // scrambled, to the duplicate when `scrambled`.
    void appendRow(const QByteArray& firstFields, const std::array<int, 7>& events, bool scrambled);

    // Every file journaled by this download back to its size before it
    // (those it created removed), and the chain back to where it was.
    void rollBack();

  private:
    struct Target {
        std::unique_ptr<QFile> file;
        QByteArray pending;
    };
    bool open(Target& target, const QString& name);
    void write(Target& target, const QByteArray& bytes);
    bool flush(Target& target);
    bool close(Target& target);
    void discardMonth(qint64 plainSizeBefore);

    QString m_base;
    int m_channel;
    MonthlyHeaders m_headers;
    AppendChain& m_chain;
    AppendChain m_chainBefore;      // before the download
    AppendChain m_chainBeforeMonth; // before the month being opened
    QString m_plainName;
    QString m_journal;
    QStringList m_begunMonths; // the plain files journaled by begin()
    Target m_plain, m_dup;
    bool m_writeFailed = false;
    bool m_created = false; // a file was created: its folder entry must reach the disk
};

} // namespace files
