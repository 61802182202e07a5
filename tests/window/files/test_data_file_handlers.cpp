// File > Save Chart and File > Load Chart on the main window: the files
// written, what the window shows, and every failure.
#include "app/user_dialogs.h"
#include "app_fixture.h"
#include "files/cipher.h"
#include "files/data_file_format.h"
#include "files/data_file_reader.h"
#include "platform/formatting.h"
#include <QAction>
#include <QBuffer>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimeEdit>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

using platform::encodeDateTime;

namespace {

const char kVersion[] = "Brenvale(tm) - Version 5.2.1";
const char kCannotSave[] = "Cannot save file. Check name or folder rights.";
const char kCorrupt[] = "Error in file. Data is corrupt.";
const char kDuplicateFailedBox[] =
    "Cannot save encrypted file (*.bvx). Check name or folder rights.";
const char kDuplicateFailed[] = "Cannot save encrypted file. Check name or folder rights.";

QByteArray fixture(const QString& name) {
    QFile file(qEnvironmentVariable("BRENVALE_SOURCE_DIR") + "/tests/data/files/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Files beyond this size cannot be written by this process while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

  private:
    rlimit m_saved{};
    void (*m_handler)(int);
};

// A small tmpfs mounted for one test and unmounted after it.
class ScratchDisk {
  public:
    explicit ScratchDisk(const QString& folder) : m_folder(QFile::encodeName(folder)) {
        QDir().mkpath(folder);
        if (::mount("tmpfs", m_folder.constData(), "tmpfs", 0, "size=1m") == 0)
            m_mounted = true;
        else
            m_error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~ScratchDisk() {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString error() const { return m_error; }

    // Fills the disk with a file of its own until about `bytes` are free.
    bool fillLeaving(qint64 bytes) const {
        struct statvfs fs {};
        if (::statvfs(m_folder.constData(), &fs) != 0)
            return false;
        const qint64 fill = qint64(fs.f_bavail) * qint64(fs.f_bsize) - bytes;
        QFile filler(QFile::decodeName(m_folder) + "/filler");
        return fill > 0 && filler.open(QIODevice::WriteOnly) &&
               filler.write(QByteArray(fill, 'f')) == fill;
    }
    bool makeReadOnly() const {
        return ::mount(nullptr, m_folder.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) ==
               0;
    }

  private:
    QByteArray m_folder;
    bool m_mounted = false;
    QString m_error;
};

void addRows(SampleStore& store, int rows) {
    for (int i = 0; i < rows; ++i) {
        store.SampleTimes.push_back(encodeDateTime(2009, 1, 2, 0, 0, 0) + i / 96.0);
        store.TempData.push_back(20.0f);
        store.RHData.push_back(50.0f);
    }
}

qint64 plainFileSize(const SampleStore& store) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    files::writePlainFile(buffer, store, "mm/dd/yyyy hh:mm:ss", true, 0, QByteArray());
    return buffer.size();
}

class SaveLoad {
  public:
    SaveLoad() : form(fx.start()), verify(form) {
        form.setDialogs(nullptr, nullptr, &verify, nullptr);
        fx.clock.set(encodeDateTime(2026, 12, 9, 10, 0, 0)); // the fixtures' creation time
    }

    // The samples of plain_mdy_rh.csv, user strings in the verification dialog.
    void fillStore() {
        SampleStore& s = form.store;
        const auto add = [&](double t, float c, float rh) {
            s.SampleTimes.push_back(t);
            s.TempData.push_back(c);
            s.RHData.push_back(rh);
        };
        add(encodeDateTime(2008, 12, 31, 23, 30, 0), 21.5f, 45.9f);
        add(encodeDateTime(2008, 12, 31, 23, 45, 0), 9999.0f, 9999.0f);
        add(encodeDateTime(2009, 1, 1, 0, 0, 0), -40.0f, -0.5f);
        add(encodeDateTime(2009, 1, 1, 0, 15, 0), 0.125f, 100.0f);
        s.NewSensorEvents = {encodeDateTime(2008, 12, 31, 23, 0, 0)};
        s.AlarmStarts[0] = {encodeDateTime(2008, 12, 31, 23, 45, 0)};
        s.AlarmStarts[1] = {encodeDateTime(2008, 12, 31, 23, 50, 0),
                            encodeDateTime(2008, 12, 31, 23, 55, 0)};
        s.AlarmEnds[0] = {encodeDateTime(2009, 1, 1, 0, 10, 0)};
        s.AlarmEnds[1] = {encodeDateTime(2009, 1, 1, 1, 0, 0)};
        s.TestStarts = {encodeDateTime(2008, 12, 31, 23, 30, 0)};
        s.SoftwareVersion = kVersion;
        form.RHBV.setChecked(true);
        verify.UserInfo->setText("Ann, QA");
        verify.UserLocation->setText("Lab 2");
        verify.BVInfo->setText("BV-0042");
    }

    // File > Save Chart, then "Continue" in the verification dialog.
    void save(const std::optional<QString>& answer) {
        form.SavedataClick();
        fx.dialogs.saveAnswers.push_back(answer);
        verify.Button1Click();
    }

    bool secureShown() const { return !form.SecureData->isHidden() && !form.LockImage->isHidden(); }

    AppFixture fx;
    TForm1& form;
    TForm5 verify;
};

} // namespace

class TestDataFiles : public QObject {
    Q_OBJECT
  private slots:
    void saveWritesPlainFileAndDuplicate() {
        SaveLoad t;
        t.fillStore();
        t.form.store.ChannelLabel = "Channel 1";
        const QString name = t.fx.path("june.csv");
        t.save(name);
        QCOMPARE(t.fx.readFile("june.csv"), fixture("plain_mdy_rh.csv"));
        QCOMPARE(t.fx.readFile("june.bvx"), fixture("dup_mdy_rh.bvx"));
        QCOMPARE(t.form.Edit1.text(), QString("Data file and encrypted duplicate (*.bvx) saved."));
        QVERIFY(t.secureShown());
        QCOMPARE(t.form.windowTitle(), QString(kVersion) + " | " + name + " | Channel 1");
        QCOMPARE(t.form.Edit2.text(), name);
        QCOMPARE(t.form.store.UserName, QString("Ann, QA"));
        QCOMPARE(t.form.store.UnitId, QString("BV-0042"));
        QVERIFY(t.fx.dialogs.shown.empty());
    }

    void cancelledSaveWritesNothing() {
        SaveLoad t;
        t.fillStore();
        t.form.Edit1.setText("before");
        t.save(std::nullopt);
        QCOMPARE(QDir(t.fx.path(".")).entryList({"*.csv", "*.bvx"}), QStringList());
        QCOMPARE(t.form.Edit1.text(), QString("before"));
        QCOMPARE(t.form.windowTitle(), QString(kVersion));
        QVERIFY(t.form.store.UserName.isEmpty());
    }

    // A save that fails anywhere replaces nothing: the earlier pair stays
    // byte for byte, no temporary file is left, and the failure is shown.
    void saveFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("at"); // "plain" or "duplicate": whose text is shown
        for (const char* at : {"plain", "duplicate"}) {
            QTest::addRow("folder at the %s name", at) << "folder" << at;
            QTest::addRow("full file system at the %s", at) << "full" << at;
            QTest::addRow("size limit at the %s", at) << "limit" << at;
        }
        QTest::newRow("read-only folder") << "read-only"
                                          << "plain";
        QTest::newRow("missing folder") << "missing"
                                        << "plain";
    }
    void saveFaults() {
        QFETCH(QString, fault);
        QFETCH(QString, at);
        SaveLoad t;
        t.fillStore();
        addRows(t.form.store, 2000); // many pages, so a full disk can stop either file
        // Folder permissions do not stop the superuser; a read-only mount does.
        const bool privileged = geteuid() == 0;
        std::optional<ScratchDisk> disk;
        if (fault == "full" || (fault == "read-only" && privileged)) {
            disk.emplace(t.fx.path("disk"));
            if (!disk->mounted())
                QSKIP("cannot mount a small tmpfs here (needs root): " + disk->error().toUtf8());
        } else {
            QDir(t.fx.path(".")).mkdir("disk");
        }
        const QString folder = fault == "missing" ? "nowhere" : "disk";
        const QString plain = folder + "/june.csv", duplicate = folder + "/june.bvx";
        if (fault != "missing") {
            const QString blocked = at == "plain" ? plain : duplicate;
            t.fx.writeFile(plain, "earlier plain file");
            t.fx.writeFile(duplicate, "earlier duplicate");
            if (fault == "folder") {
                QFile::remove(t.fx.path(blocked));
                QDir(t.fx.path(".")).mkpath(blocked);
                t.fx.writeFile(blocked + "/inside", "kept");
            }
        }
        const qint64 plainSize = plainFileSize(t.form.store);
        std::optional<FileSizeLimit> limit;
        // The files are written in turns, 64 KiB at a time, the plain file first.
        if (fault == "full")
            QVERIFY(disk->fillLeaving(at == "plain" ? 16 << 10 : 96 << 10));
        if (fault == "read-only" && privileged)
            QVERIFY(disk->makeReadOnly());
        if (fault == "read-only" && !privileged)
            QFile::setPermissions(t.fx.path("disk"), QFile::ReadOwner | QFile::ExeOwner);
        if (fault == "limit")
            // The duplicate is the longer of the two.
            limit.emplace(at == "plain" ? plainSize / 2 : plainSize + 512);
        const QStringList before = QDir(t.fx.path(folder)).entryList(QDir::AllEntries);

        t.save(t.fx.path(plain));
        limit.reset();
        QFile::setPermissions(t.fx.path("disk"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QString status = at == "plain" ? kCannotSave : kDuplicateFailed;
        QCOMPARE(t.form.Edit1.text(), status);
        QCOMPARE(t.fx.dialogs.messages(),
                 QStringList{at == "plain" ? kCannotSave : kDuplicateFailedBox});
        QCOMPARE(t.fx.dialogs.shown.front().caption, QString("Problem"));
        QCOMPARE(t.form.windowTitle(), QString(kVersion));
        QVERIFY(!t.secureShown());
        QCOMPARE(QDir(t.fx.path(folder)).entryList(QDir::AllEntries), before);
        if (fault == "missing")
            return;
        if (fault == "folder")
            QCOMPARE(t.fx.readFile((at == "plain" ? plain : duplicate) + "/inside"),
                     QByteArray("kept"));
        if (fault != "folder" || at != "plain")
            QCOMPARE(t.fx.readFile(plain), QByteArray("earlier plain file"));
        if (fault != "folder" || at != "duplicate")
            QCOMPARE(t.fx.readFile(duplicate), QByteArray("earlier duplicate"));
    }

    // A saved duplicate loads back: samples, events (one more new sensor, at
    // the first time stamp), user strings and the file's date format.
    void savedDuplicateLoadsBack() {
        SaveLoad t;
        t.fillStore();
        t.form.DATEFORMAT.setText("dd/mm/yyyy, hh:mm:ss");
        const QString userName(300, 'u'); // longer than any fixed line buffer
        t.verify.UserInfo->setText(userName);
        t.save(t.fx.path("june.csv"));
        const std::vector<double> times = t.form.store.SampleTimes;
        const QString shortDate = platform::formatSettings().shortDateFormat;
        t.form.DATEFORMAT.setText("yyyy/mm/dd hh:mm:ss");
        t.form.InitAutoload.setChecked(true);
        t.form.LoadDataFile(t.fx.path("june.bvx"));

        const SampleStore& s = t.form.store;
        QCOMPARE(t.form.Edit1.text(), QString("File loaded."));
        QCOMPARE(t.form.DATEFORMAT.text(), QString("dd/mm/yyyy, hh:mm:ss"));
        QVERIFY(t.form.DateFormatItems[6]->isChecked());
        QCOMPARE(s.SampleTimes, times);
        QCOMPARE(s.TempData, (std::vector<float>{21.5f, 9999.0f, -40.0f, 0.12f}));
        QCOMPARE(s.RHData, (std::vector<float>{45.0f, 9999.0f, 0.0f, 100.0f}));
        const double first = times.front();
        QCOMPARE(s.NewSensorEvents, (std::vector<double>{first, first}));
        QCOMPARE(s.AlarmStarts[1], (std::vector<double>{times[2], times[2]}));
        QVERIFY(s.AlarmEnds[1].empty()); // after the last sample: never written
        QCOMPARE(s.UserName, userName);
        QCOMPARE(s.UserLocation, QString("Lab 2"));
        QCOMPARE(s.SoftwareVersion, QString(kVersion));
        QVERIFY(t.form.RHBV.checked());
        QCOMPARE(t.form.Samplesperhour.text(), QString("4"));
        QCOMPARE(t.form.Startdate->date(), QDate(2008, 12, 31));
        QCOMPARE(t.form.Starttime->time(), QTime(23, 30, 0));
        QCOMPARE(t.form.Enddate->date(), QDate(2009, 1, 1));
        QCOMPARE(t.form.Endtime->time(), QTime(0, 15, 0));
        QVERIFY(t.form.FileEncryptFlag.checked());
        QVERIFY(!t.form.FreshData.checked());
        QVERIFY(t.form.InitAutoload.checked()); // no error met
        QVERIFY(t.secureShown());
        QCOMPARE(t.form.windowTitle(), QString(kVersion) + " | " + t.fx.path("june.bvx"));
        // The process-wide settings are back as they were.
        QCOMPARE(platform::formatSettings().shortDateFormat, shortDate);
    }

    void commandLineLoadsAtStartUp() {
        AppFixture fx;
        fx.writeFile("june.bvx", fixture("dup_mdy_rh.bvx"));
        TForm1& form = fx.start(fx.path("june.bvx"));
        QCOMPARE(form.Edit1.text(), QString("File loaded."));
        QCOMPARE(form.store.TempData.size(), size_t(4));
        QCOMPARE(form.store.UserName, QString("Ann, QA"));
        QCOMPARE(form.windowTitle(), QString(kVersion) + " | " + fx.path("june.bvx"));
    }

    void loadDialog() {
        SaveLoad t;
        t.fx.writeFile("june.bvx", fixture("dup_mdy_rh.bvx"));
        t.fx.dialogs.openAnswers.push_back(std::nullopt);
        t.form.LoaddataClick();
        QVERIFY(t.form.store.TempData.empty());
        t.fx.dialogs.openAnswers.push_back(t.fx.path("june.bvx"));
        t.form.LoaddataClick();
        QCOMPARE(t.form.Edit1.text(), QString("File loaded."));
        QCOMPARE(t.form.store.TempData.size(), size_t(4));
    }

    void loadFailures_data() {
        QTest::addColumn<QByteArray>("file"); // "missing": no file at all
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("emptied");
        QTest::addColumn<bool>("notDuplicate"); // a line that is neither '~' nor '?'
        QTest::newRow("missing file")
            << QByteArray("missing") << "Cannot open file." << false << false;
        QTest::newRow("no date format") << QByteArray("~Comment line\r\n?abc\r\n")
                                        << "Date format not valid in file." << false << false;
        QTest::newRow("plain data file") << fixture("plain_mdy_rh.csv") << kCorrupt << true << true;
        QByteArray badNumber = "~Date Format: mm/dd/yyyy hh:mm:ss\r\n?";
        CipherState state;
        badNumber += ScrambleLine(
            state, "01/01/2009 00:00:00, 2O.50, 293.65, 68.90, 0, 1, 0, 0, 0, 0, 0, 0");
        QTest::newRow("bad number") << badNumber + "\r\n" << kCorrupt << true << false;
        // Files without line ends (as "All Types" lets one pick) are refused
        // at the cap, not taken into memory whole.
        const QByteArray overlong(files::LineReader::kMaxLineLength + 1, 'x');
        QTest::newRow("no line ends at all") << overlong << kCorrupt << false << false;
        QTest::newRow("overlong line after the format line")
            << "~Date Format: mm/dd/yyyy hh:mm:ss\r\n?" + overlong << kCorrupt << true << false;
    }
    void loadFailures() {
        QFETCH(QByteArray, file);
        QFETCH(QString, status);
        QFETCH(bool, emptied);
        QFETCH(bool, notDuplicate);
        SaveLoad t;
        // Checking it starts an automatic download, which clears the store first.
        t.form.InitAutoload.setChecked(true);
        t.fillStore();
        if (file != "missing")
            t.fx.writeFile("bad.bvx", file);
        t.form.LoadDataFile(t.fx.path("bad.bvx"));
        QCOMPARE(t.form.Edit1.text(), status);
        QCOMPARE(t.form.store.TempData.empty(), emptied);
        QVERIFY(!t.secureShown());
        QVERIFY(!t.form.Errorindata.checked());
        QCOMPARE(t.form.windowTitle(), QString(kVersion));
        QVERIFY(t.fx.dialogs.shown.empty()); // the reader shows no boxes
        // A line that is not a duplicate's counts as a data error, which
        // ends any automatic download attempt.
        QCOMPARE(t.form.InitAutoload.checked(), !notDuplicate);
    }
};

QTEST_MAIN(TestDataFiles)
#include "test_data_file_handlers.moc"
