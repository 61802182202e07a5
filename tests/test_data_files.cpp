// File > Save Chart and File > Load Chart on the main window: the files
// written, what the window shows, and every failure.
#include "app/user_dialogs.h"
#include "app_fixture.h"
#include "files/cipher.h"
#include "files/data_file_format.h"
#include "platform/formatting.h"
#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimeEdit>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using platform::encodeDateTime;

namespace {

const char kVersion[] = "Brenvale(tm) - Version 5.2.1";
const char kCannotSave[] = "Cannot save file. Check name or folder rights.";
const char kCorrupt[] = "Error in file. Data is corrupt.";

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

    // The plain file cannot be written: reported, no duplicate, and what lay
    // at that name before stays as it was.
    void saveFailures_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder at the name") << "folder";
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("read-only folder") << "read-only";
        QTest::newRow("write error after creation") << "write error";
    }
    void saveFailures() {
        QFETCH(QString, kind);
        SaveLoad t;
        t.fillStore();
        QDir dir(t.fx.path("."));
        QString name = t.fx.path("june.csv");
        std::optional<FileSizeLimit> limit;
        if (kind == "folder") {
            dir.mkdir("june.csv");
            t.fx.writeFile("june.csv/inside", "kept");
        } else if (kind == "missing") {
            name = t.fx.path("nowhere/june.csv");
        } else if (kind == "read-only") {
            if (geteuid() == 0)
                QSKIP("permissions do not stop the superuser");
            dir.mkdir("locked");
            t.fx.writeFile("locked/june.csv", "earlier");
            QFile::setPermissions(t.fx.path("locked"), QFile::ReadOwner | QFile::ExeOwner);
            name = t.fx.path("locked/june.csv");
        } else {
            t.fx.writeFile("june.csv", "earlier");
            for (int i = 0; i < 2000; ++i) { // far more than the limit below
                t.form.store.SampleTimes.push_back(encodeDateTime(2009, 1, 2, 0, 0, 0) + i / 96.0);
                t.form.store.TempData.push_back(20.0f);
                t.form.store.RHData.push_back(50.0f);
            }
            limit.emplace(4096);
        }
        t.save(name);
        limit.reset();
        QFile::setPermissions(t.fx.path("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(t.form.Edit1.text(), QString(kCannotSave));
        QCOMPARE(t.fx.dialogs.messages(), QStringList{kCannotSave});
        QCOMPARE(t.fx.dialogs.shown.front().caption, QString("Problem"));
        QCOMPARE(t.form.windowTitle(), QString(kVersion));
        QVERIFY(!t.secureShown());
        QCOMPARE(dir.entryList({"*.bvx"}), QStringList());
        if (kind == "folder")
            QCOMPARE(t.fx.readFile("june.csv/inside"), QByteArray("kept"));
        if (kind == "write error")
            QCOMPARE(t.fx.readFile("june.csv"), QByteArray("earlier"));
        if (kind == "read-only")
            QCOMPARE(t.fx.readFile("locked/june.csv"), QByteArray("earlier"));
    }

    // The plain file is saved but its duplicate is not: the plain file stays,
    // an earlier duplicate stays, the caption names the file.
    void duplicateFailures_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("status");
        const QString cannot = "Cannot save encrypted file (*.bvx). Check name or folder rights.";
        const QString status = "Cannot save encrypted file. Check name or folder rights.";
        QTest::newRow("folder at the name") << "folder" << cannot << status;
        QTest::newRow("write error") << "write error" << cannot << status;
    }
    void duplicateFailures() {
        QFETCH(QString, kind);
        QFETCH(QString, box);
        QFETCH(QString, status);
        SaveLoad t;
        t.fillStore();
        std::optional<FileSizeLimit> limit;
        if (kind == "folder") {
            QDir(t.fx.path(".")).mkdir("june.bvx");
        } else {
            t.fx.writeFile("june.bvx", "earlier");
            // Room for the plain file, not for the longer duplicate.
            limit.emplace(fixture("plain_mdy_rh.csv").size() + 16);
        }
        const QString name = t.fx.path("june.csv");
        t.save(name);
        limit.reset();
        QCOMPARE(t.fx.readFile("june.csv"), fixture("plain_mdy_rh.csv"));
        QCOMPARE(t.form.Edit1.text(), status);
        QCOMPARE(t.fx.dialogs.messages(), QStringList{box});
        QVERIFY(!t.secureShown());
        QCOMPARE(t.form.windowTitle(), QString(kVersion) + " | " + name);
        if (kind == "write error")
            QCOMPARE(t.fx.readFile("june.bvx"), QByteArray("earlier"));
    }

    void duplicateOfUnreadablePlainFile() {
        SaveLoad t;
        t.fx.writeFile("june.bvx", "earlier");
        QVERIFY(!t.form.WriteEncryptedDuplicate(t.fx.path("june.csv"), QByteArray()));
        QCOMPARE(t.form.Edit1.text(), QString("File read error during encryption process."));
        QCOMPARE(t.fx.dialogs.messages(),
                 QStringList{"File read error during encryption process."});
        QCOMPARE(t.fx.readFile("june.bvx"), QByteArray("earlier"));
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
    }
    void loadFailures() {
        QFETCH(QByteArray, file);
        QFETCH(QString, status);
        QFETCH(bool, emptied);
        QFETCH(bool, notDuplicate);
        SaveLoad t;
        t.fillStore();
        t.form.InitAutoload.setChecked(true);
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
#include "test_data_files.moc"
