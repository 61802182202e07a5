// The monthly files of the automatic downloads on their own: the names, what
// is already saved, and one download appended, continued, taken to a
// numbered duplicate or taken back.
#include "files/cipher.h"
#include "files/data_file_format.h"
#include "files/monthly_files.h"
#include "files/save_journal.h"
#include "platform/file_system.h"
#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <array>

using platform::encodeDateTime;

namespace {

QByteArray readAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The last second of a month: still that month's file.
platform::DateTime endOfMonth(int year, int month) {
    return encodeDateTime(year, month, QDate(year, month, 1).daysInMonth(), 23, 59, 59);
}

// The first fields of a row and its event counts.
const QByteArray kRow1 = "12/09/2026 10:00:00, 20.00, 293.15, 68.00, 40";
const QByteArray kRow2 = "12/09/2026 10:00:15, 21.00, 294.15, 69.80, 41";
constexpr std::array<int, 7> kFirstEvents = {1, 0, 0, 0, 0, 0, 0};
constexpr std::array<int, 7> kNoEvents = {};

} // namespace

class TestMonthlyFiles : public QObject {
    Q_OBJECT
  private slots:
    void monthlyFileName_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder and extension")
            << "/logs/plant.csv" << 1 << 2008 << 12 << "/logs/T1200812plant.csv";
        QTest::newRow("no extension") << "plant" << 2 << 2026 << 1 << "T2202601plant.csv";
        QTest::newRow("text file") << "plant.txt" << 1 << 2026 << 3 << "T1202603plant.txt";
        QTest::newRow("a dot in the folder only")
            << "/logs.d/plant" << 1 << 2026 << 12 << "/logs.d/T1202612plant.csv";
        QTest::newRow("two dots") << "/logs/plant.v2.csv" << 2 << 2027 << 2
                                  << "/logs/T2202702plant.v2.csv";
    }
    void monthlyFileName() {
        QFETCH(QString, base);
        QFETCH(int, channel);
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(QString, expected);
        QCOMPARE(files::monthlyFileName(base, channel, encodeDateTime(year, month, 1, 0, 0, 0)),
                 expected);
        QCOMPARE(files::monthlyFileName(base, channel, endOfMonth(year, month)), expected);
    }

    // The first free number, gaps included.
    void numberedDuplicateName_data() {
        QTest::addColumn<QList<int>>("existing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QList<int>{} << "T1202612plant_0.bxv";
        QTest::newRow("0 and 1") << QList<int>{0, 1} << "T1202612plant_2.bxv";
        QTest::newRow("a gap") << QList<int>{0, 2} << "T1202612plant_1.bxv";
        QTest::newRow("0 free") << QList<int>{1} << "T1202612plant_0.bxv";
    }
    void numberedDuplicateName() {
        QFETCH(QList<int>, existing);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString dup = dir.filePath("T1202612plant.bvx");
        writeFile(dup, "~");
        for (int n : existing)
            writeFile(dir.filePath(QString("T1202612plant_%1.bxv").arg(n)), "~");
        QCOMPARE(files::numberedDuplicateName(dup), dir.filePath(expected));
    }
    void numberedDuplicateNameWhenAllExist() {
        QTemporaryDir dir;
        for (int n = 0; n <= 9999; ++n)
            writeFile(dir.filePath(QString("p_%1.bxv").arg(n)), {});
        QCOMPARE(files::numberedDuplicateName(dir.filePath("p.bvx")), dir.filePath("p_9999.bxv"));
    }

    // The last row that reads, in the file's pattern and date order.
    void newestRowTime_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("order");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QDateTime>("expected");
        const int mdy = int(files::DateOrder::MonthDayYear);
        const QDateTime dec9(QDate(2026, 12, 9), QTime(10, 0, 15));
        QTest::newRow("header, then rows")
            << "mm/dd/yyyy hh:mm:ss" << mdy
            << QByteArray("~Date Format: mm/dd/yyyy hh:mm:ss\r\n~\r\n" + kRow1 + ", 1\r\n" + kRow2 +
                          ", 0\r\n")
            << dec9;
        QTest::newRow("a row that does not read is passed over")
            << "mm/dd/yyyy hh:mm:ss" << mdy << QByteArray(kRow2 + "\r\nnot a row\r\n") << dec9;
        // A last row without its line end was cut short: its sample is not saved.
        QTest::newRow("last row without a line end")
            << "mm/dd/yyyy hh:mm:ss" << mdy << QByteArray(kRow2 + "\r\n" + kRow1.left(30)) << dec9;
        QTest::newRow("day first") << "dd/mm/yyyy hh:mm:ss" << int(files::DateOrder::DayMonthYear)
                                   << QByteArray("09/12/2026 10:00:15, 21.00\r\n") << dec9;
        QTest::newRow("year first") << "yyyy/mm/dd, hh:mm:ss" << int(files::DateOrder::YearMonthDay)
                                    << QByteArray("2026/12/09, 10:00:15, 21.00\r\n") << dec9;
        QTest::newRow("comma and PM") << "mm/dd/yyyy, hh:mm:ss AM/PM" << mdy
                                      << QByteArray("12/09/2026, 10:00:15 PM, 21.00\r\n")
                                      << QDateTime(QDate(2026, 12, 9), QTime(22, 0, 15));
        QTest::newRow("only headers")
            << "mm/dd/yyyy hh:mm:ss" << mdy
            << QByteArray("~Date Format: mm/dd/yyyy hh:mm:ss\r\n~\r\n") << QDateTime();
        QTest::newRow("empty") << "mm/dd/yyyy hh:mm:ss" << mdy << QByteArray() << QDateTime();
    }
    void newestRowTime() {
        QFETCH(QString, pattern);
        QFETCH(int, order);
        QFETCH(QByteArray, text);
        QFETCH(QDateTime, expected);
        QBuffer buffer(&text);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const std::optional<platform::DateTime> newest =
            files::newestRowTime(buffer, pattern, files::DateOrder(order));
        QCOMPARE(newest.has_value(), expected.isValid());
        if (newest)
            QCOMPARE(platform::toQDateTime(*newest), expected);
    }

    // What is saved, month after month up to the first month without a
    // file, read in the first month's format.
    void savedMonths() {
        QTemporaryDir dir;
        const QString base = dir.filePath("plant.csv");
        const platform::DateTime first = encodeDateTime(2026, 11, 30, 23, 0, 0);
        const files::DetectedFormat chosen{.pattern = "mm/dd/yyyy hh:mm:ss",
                                           .shortDateFormat = "mm/dd/yyyy"};

        files::SavedMonths saved = files::savedMonths(base, 1, first, chosen);
        QVERIFY(saved.firstMissing);
        QVERIFY(!saved.format);
        QVERIFY(!saved.newest);
        QCOMPARE(saved.lastFile, dir.filePath("T1202611plant.csv"));

        // Day-first rows that the chosen month-first format would misread.
        writeFile(dir.filePath("T1202611plant.csv"),
                  "~Date Format: dd/mm/yyyy, hh:mm:ss\r\n~\r\n30/11/2026, 23:59:45, 20.00\r\n");
        writeFile(dir.filePath("T1202612plant.csv"), "01/12/2026, 00:00:00, 20.00\r\n"
                                                     "02/12/2026, 00:10:15, 20.00\r\n");
        writeFile(dir.filePath("T1202702plant.csv"), "01/02/2027, 00:00:00, 20.00\r\n");
        saved = files::savedMonths(base, 1, first, chosen);
        QVERIFY(!saved.firstMissing);
        QVERIFY(saved.format && saved.format->format);
        QCOMPARE(saved.format->format->pattern, QString("dd/mm/yyyy, hh:mm:ss"));
        QVERIFY(saved.newest);
        QCOMPARE(platform::toQDateTime(*saved.newest),
                 QDateTime(QDate(2026, 12, 2), QTime(0, 10, 15)));
        QCOMPARE(saved.lastFile, dir.filePath("T1202612plant.csv")); // January has none

        // The other channel's files are its own.
        saved = files::savedMonths(base, 2, first, chosen);
        QVERIFY(saved.firstMissing);
        QVERIFY(!saved.newest);
    }

    // A first month's file that is there but holds nothing, or does not open.
    void savedMonthsFirstFileUnusable_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("empty file") << false;
        QTest::newRow("a folder of that name") << true;
    }
    void savedMonthsFirstFileUnusable() {
        QFETCH(bool, folder);
        QTemporaryDir dir;
        const QString name = dir.filePath("T1202612plant.csv");
        if (folder)
            QVERIFY(QDir().mkdir(name));
        else
            writeFile(name, {});
        const files::SavedMonths saved =
            files::savedMonths(dir.filePath("plant.csv"), 1, encodeDateTime(2026, 12, 9, 9, 0, 0),
                               {.pattern = "mm/dd/yyyy hh:mm:ss", .shortDateFormat = "mm/dd/yyyy"});
        QVERIFY(!saved.firstMissing);
        QCOMPARE(saved.format.has_value(), !folder);
        if (saved.format)
            QVERIFY(!saved.format->format);
        QVERIFY(!saved.newest);
        QCOMPARE(saved.lastFile, name);
    }

    // From the 31st of a month the next months are still found.
    void savedMonthsFromTheEndOfAMonth() {
        QTemporaryDir dir;
        writeFile(dir.filePath("T1202601plant.csv"), "01/31/2026 23:00:00, 20.00\r\n");
        writeFile(dir.filePath("T1202602plant.csv"), "02/28/2026 23:00:00, 20.00\r\n");
        writeFile(dir.filePath("T1202603plant.csv"), "03/31/2026 23:00:00, 20.00\r\n");
        const files::SavedMonths saved =
            files::savedMonths(dir.filePath("plant.csv"), 1, encodeDateTime(2026, 1, 31, 23, 0, 0),
                               {.pattern = "mm/dd/yyyy hh:mm:ss", .shortDateFormat = "mm/dd/yyyy"});
        QCOMPARE(saved.lastFile, dir.filePath("T1202603plant.csv"));
        QCOMPARE(platform::toQDateTime(*saved.newest),
                 QDateTime(QDate(2026, 3, 31), QTime(23, 0, 0)));
    }
};

// One download appended to a channel's monthly files.
class TestMonthlyAppend : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    files::MonthlyHeaders m_headers = files::monthlyHeaders(
        "mm/dd/yyyy hh:mm:ss", encodeDateTime(2026, 12, 9, 11, 0, 0), "~User: test\r\n");
    const platform::DateTime m_dec9 = encodeDateTime(2026, 12, 9, 10, 0, 0);

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString base() const { return path("plant.csv"); }

    // One download of the two rows into the month of December; how the
    // month opened (the writes themselves are checked on the way).
    files::MonthlyAppend::Opened download(files::AppendChain& chain) {
        files::MonthlyAppend out(base(), 1, m_headers, chain);
        QTest::qVerify(out.begin(m_dec9, m_dec9), "out.begin()", "", __FILE__, __LINE__);
        const files::MonthlyAppend::Opened opened = out.openMonth(m_dec9);
        if (opened == files::MonthlyAppend::Opened::Both) {
            out.appendRow(kRow1, kFirstEvents, true);
            out.appendRow(kRow2, kNoEvents, true);
        }
        QTest::qVerify(out.commit(), "out.commit()", "", __FILE__, __LINE__);
        QTest::qVerify(!QFile::exists(journal()), "no journal", "", __FILE__, __LINE__);
        return opened;
    }
    QString journal() const { return files::journalName(base()); }
    // One download of a row in December and a row on New Year's Day, each
    // month closed in turn; the caller commits or rolls back.
    void acrossTheYearEnd(files::MonthlyAppend& out) {
        QVERIFY(out.begin(m_dec9, encodeDateTime(2027, 1, 1, 0, 0, 0)));
        QCOMPARE(out.openMonth(m_dec9), files::MonthlyAppend::Opened::Both);
        out.appendRow(kRow1, kFirstEvents, true);
        QVERIFY(out.closeMonth());
        QCOMPARE(out.openMonth(encodeDateTime(2027, 1, 1, 0, 0, 0)),
                 files::MonthlyAppend::Opened::Both);
        out.appendRow(kRow2, kNoEvents, true);
        QVERIFY(out.closeMonth());
    }
    static QByteArray plainRows() {
        return kRow1 + ", 1, 0, 0, 0, 0, 0, 0\r\n" + kRow2 + ", 0, 0, 0, 0, 0, 0, 0\r\n";
    }
    static QByteArray scrambledRows(CipherState& state) {
        const QByteArray first = '?' + ScrambleLine(state, kRow1) + "\r\n";
        return first + '?' + ScrambleLine(state, kRow2) + "\r\n";
    }

  private slots:
    void cleanup() {
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(path(name));
    }

    // A new month gets its headers once; the run's chain goes on in its
    // duplicate; a later run's fresh chain takes a numbered duplicate.
    void newMonthThenAppendThenALaterRun() {
        files::AppendChain chain;
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        CipherState state;
        QByteArray dup = m_headers.dupHead + scrambledRows(state);
        QCOMPARE(readAll(path("T1202612plant.csv")), m_headers.plainHead + plainRows());
        QCOMPARE(readAll(path("T1202612plant.bvx")), dup);

        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        dup += scrambledRows(state);
        QCOMPARE(readAll(path("T1202612plant.csv")),
                 m_headers.plainHead + plainRows() + plainRows());
        QCOMPARE(readAll(path("T1202612plant.bvx")), dup);

        files::AppendChain laterRun;
        QCOMPARE(download(laterRun), files::MonthlyAppend::Opened::Both);
        QCOMPARE(laterRun.duplicateName, path("T1202612plant_0.bxv"));
        CipherState fresh;
        QCOMPARE(readAll(path("T1202612plant_0.bxv")), m_headers.dupHead + scrambledRows(fresh));
        QCOMPARE(readAll(path("T1202612plant.bvx")), dup);
        QCOMPARE(readAll(path("T1202612plant.csv")),
                 m_headers.plainHead + plainRows() + plainRows() + plainRows());
    }

    // An empty plain file of the month is as good as none: it gets its headers.
    void emptyPlainFileGetsItsHeaders() {
        writeFile(path("T1202612plant.csv"), {});
        files::AppendChain chain;
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        QCOMPARE(readAll(path("T1202612plant.csv")), m_headers.plainHead + plainRows());
    }

    // Taken back: files it created removed, files it appended to cut back,
    // the chain where it was, across a change of month.
    void rollBack() {
        files::AppendChain chain;
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        const QByteArray plain = readAll(path("T1202612plant.csv"));
        const QByteArray dup = readAll(path("T1202612plant.bvx"));
        const files::AppendChain before = chain;

        files::MonthlyAppend out(base(), 1, m_headers, chain);
        acrossTheYearEnd(out);
        out.rollBack();
        QCOMPARE(readAll(path("T1202612plant.csv")), plain);
        QCOMPARE(readAll(path("T1202612plant.bvx")), dup);
        QVERIFY(!QFile::exists(path("T1202701plant.csv")));
        QVERIFY(!QFile::exists(path("T1202701plant.bvx")));
        QVERIFY(!QFile::exists(journal()));
        QCOMPARE(chain.duplicateName, before.duplicateName);
        QCOMPARE(chain.state.ChainChar, before.state.ChainChar);
        QCOMPARE(chain.state.PositionStep, before.state.PositionStep);
        QCOMPARE(chain.state.LineStep, before.state.LineStep);
    }

    // A plain file that cannot be opened leaves nothing behind; a duplicate
    // that cannot be opened takes its plain file back too.
    void openFailures() {
        files::AppendChain chain;
        files::MonthlyAppend nowhere(path("missing/plant.csv"), 1, m_headers, chain);
        QVERIFY(!nowhere.begin(m_dec9, m_dec9));
        QCOMPARE(nowhere.openMonth(m_dec9), files::MonthlyAppend::Opened::PlainFailed);
        QVERIFY(!QFile::exists(path("missing/T1202612plant.bvx")));

        chain = {};
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        const QByteArray plain = readAll(path("T1202612plant.csv"));
        const files::AppendChain before = chain;
        // The chain's duplicate replaced by a folder of that name.
        QVERIFY(QFile::remove(chain.duplicateName));
        QVERIFY(QDir().mkdir(chain.duplicateName));
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::DuplicateFailed);
        QVERIFY(QDir().rmdir(before.duplicateName));
        QCOMPARE(readAll(path("T1202612plant.csv")), plain);
        QCOMPARE(chain.duplicateName, before.duplicateName);
        QCOMPARE(chain.state.ChainChar, before.state.ChainChar);
    }

    // The program died after its rows were appended, before the journal
    // went: the next start cuts every file back, across the month's end,
    // and the run's next duplicate takes the numbered name of the one taken out.
    void unfinishedDownloadRolledBack() {
        files::AppendChain chain;
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        const QByteArray plain = readAll(path("T1202612plant.csv"));
        const QByteArray dup = readAll(path("T1202612plant.bvx"));
        files::AppendChain laterRun;
        {
            files::MonthlyAppend out(base(), 1, m_headers, laterRun);
            acrossTheYearEnd(out);
        }
        QVERIFY(QFile::exists(path("T1202612plant_0.bxv")));
        QCOMPARE(files::rollBackJournal(journal()), files::RollBack::RolledBack);
        QCOMPARE(readAll(path("T1202612plant.csv")), plain);
        QCOMPARE(readAll(path("T1202612plant.bvx")), dup);
        for (const char* gone :
             {"T1202612plant_0.bxv", "T1202701plant.csv", "T1202701plant.bvx", "plant.csv.journal"})
            QVERIFY2(!QFile::exists(path(gone)), gone);
        QCOMPARE(files::rollBackJournal(journal()), files::RollBack::Nothing);
        files::AppendChain restarted;
        QCOMPARE(download(restarted), files::MonthlyAppend::Opened::Both);
        QCOMPARE(restarted.duplicateName, path("T1202612plant_0.bxv"));
    }

    // A journal cut short was being written when the program died: nothing
    // was appended yet, so the files stay and the journal goes.
    void journalCutShort() {
        files::AppendChain chain;
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        const QByteArray plain = readAll(path("T1202612plant.csv"));
        const QByteArray text =
            files::journalText({{.name = path("T1202612plant.csv"), .sizeBefore = 0}});
        writeFile(journal(), text.left(text.size() - 3));
        QCOMPARE(files::rollBackJournal(journal()), files::RollBack::RolledBack);
        QCOMPARE(readAll(path("T1202612plant.csv")), plain);
        QVERIFY(!QFile::exists(journal()));
    }

    // At start-up every journal of ours in the folder is rolled back, a
    // journal cut inside its first line included; a foreign *.journal stays.
    void journalsOfTheFolderAtStartUp() {
        files::AppendChain chain;
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        const QByteArray plain = readAll(path("T1202612plant.csv"));
        writeFile(path("T1202612plant.csv"), plain + "12/09/2026 10:00:15, 1");
        writeFile(journal(), files::journalText({{.name = path("T1202612plant.csv"),
                                                  .sizeBefore = plain.size()}}));
        writeFile(path("other.csv.journal"), "~Brenvale sa");
        writeFile(path("notes.journal"), "my own notes\r\n");
        QCOMPARE(files::rollBackJournalsIn(m_dir.path()), files::RollBack::RolledBack);
        QCOMPARE(readAll(path("T1202612plant.csv")), plain);
        QVERIFY(!QFile::exists(journal()));
        QVERIFY(!QFile::exists(path("other.csv.journal")));
        QCOMPARE(readAll(path("notes.journal")), QByteArray("my own notes\r\n"));
        QCOMPARE(files::rollBackJournalsIn(m_dir.path()), files::RollBack::Nothing);
    }

    void journalText_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("entries"); // -1: not a complete journal
        const QByteArray whole = files::journalText(
            {{.name = "/a/T1202612plant.csv", .sizeBefore = 1234}, {.name = "/a/x, y.bvx"}});
        QTest::newRow("whole") << whole << 2;
        QTest::newRow("no entries") << files::journalText({}) << 0;
        QTest::newRow("cut inside the last line") << whole.chopped(1) << -1;
        QTest::newRow("cut after an entry") << whole.left(whole.indexOf("-1")) << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("a size that does not read")
            << QByteArray("~Brenvale save journal\r\nbig, /a/b\r\n~end\r\n") << -1;
    }
    void journalText() {
        QFETCH(QByteArray, text);
        QFETCH(int, entries);
        const auto parsed = files::parseJournal(text);
        QCOMPARE(parsed ? int(parsed->size()) : -1, entries);
        if (entries == 2) {
            QCOMPARE((*parsed)[0].name, QString("/a/T1202612plant.csv"));
            QCOMPARE((*parsed)[0].sizeBefore, 1234);
            QCOMPARE((*parsed)[1].name, QString("/a/x, y.bvx"));
            QCOMPARE((*parsed)[1].sizeBefore, -1);
        }
    }

    // A row cut short by an older version ends the plain file: it is cut off
    // before the rows of the download follow, so none is joined to it.
    void unfinishedRowCutOff() {
        files::AppendChain chain;
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        const QByteArray plain = readAll(path("T1202612plant.csv"));
        QFile file(path("T1202612plant.csv"));
        QVERIFY(file.open(QIODevice::Append));
        file.write(kRow1.left(20));
        file.close();
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        QCOMPARE(readAll(path("T1202612plant.csv")), plain + plainRows());
    }

    // A file that cannot be cut back keeps its journal for the next try.
    void rollBackThatFails() {
        struct NoResize : platform::FileSystem {
            bool resize(const QString&, qint64) override { return false; }
        } noResize;
        files::AppendChain chain;
        QCOMPARE(download(chain), files::MonthlyAppend::Opened::Both);
        writeFile(journal(),
                  files::journalText({{.name = path("T1202612plant.csv"), .sizeBefore = 10}}));
        platform::setFileSystem(&noResize);
        const files::RollBack result = files::rollBackJournal(journal());
        platform::setFileSystem(nullptr);
        QCOMPARE(result, files::RollBack::Failed);
        QVERIFY(QFile::exists(journal()));
        QCOMPARE(files::rollBackJournal(journal()), files::RollBack::RolledBack);
        QCOMPARE(QFileInfo(path("T1202612plant.csv")).size(), 10);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TestMonthlyFiles names;
    TestMonthlyAppend append;
    return QTest::qExec(&names, argc, argv) | QTest::qExec(&append, argc, argv);
}

#include "test_monthly_files.moc"
