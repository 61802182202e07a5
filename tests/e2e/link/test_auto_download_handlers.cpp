// Automatic downloads: Setup > Auto Download, the scheduler, the monthly
// files and their duplicates, against a simulated logger that goes on
// recording as the manual clock advances, and the monthly rows written from a
// store of the test's making.
#include "auto_rig.h"
#include "platform/formatting.h"
#include "platform/notification_area.h"
#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>

namespace {

const QString kSaved = "File saved.";
const QString kNothingNew = "NO NEW DATA SINCE THE LAST DOWNLOAD.";
const QString kCannotSave = "Cannot save file. Check name or folder rights.";
const platform::DateTime kNov30 = platform::encodeDateTime(2026, 11, 30, 23, 0, 0);

QByteArray readAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString describe(const std::vector<AutoRig::Ended>& ended) {
    QStringList out;
    for (const AutoRig::Ended& e : ended)
        out << QString("%1 %2 %3").arg(e.channel).arg(e.succeeded ? "ok" : "failed").arg(e.status);
    return out.join(" | ");
}

// Whether a channel's monthly files hold every sample a recording logger
// had stored when the downloads fell due at `due`, its last one included, and
// none it has not stored yet (the pauses of a download move the manual clock
// on a little).
bool holdsAllUpTo(const MonthlyCheck& check, AutoRig& t, platform::DateTime due) {
    const bvsim::LoggerConfig& config = t.rig.logger->config();
    const bvsim::ChannelData& d = config.channels[0];
    const long long interval = bvsim::SimulatedLogger::intervalSeconds(d.storedPerHour);
    const qsizetype atDue = platform::wholeSeconds(due - d.first) / interval + 1;
    const qsizetype now = bvsim::SimulatedLogger(config).storedCount(d);
    if (check.rows >= atDue && check.rows <= now)
        return true;
    qWarning("%lld rows; %lld samples stored when due, %lld now",
             static_cast<long long>(check.rows), static_cast<long long>(atDue),
             static_cast<long long>(now));
    return false;
}

// The save after an automatic download, from a store of the test's making.
struct SaveFixture {
    AppFixture fx;
    TForm1& form = fx.start();
    std::vector<AutoRig::Ended> ended;

    SaveFixture() {
        QObject::connect(&form, &TForm1::automaticDownloadEnded, &form,
                         [this](int channel, bool ok) {
                             ended.push_back({channel, ok, {}});
                         });
    }
    // An upload of n samples from `start` at `perHour`; the store's own time
    // stamps are off the grid by a few seconds, which the rows must not show.
    void save(platform::DateTime start, int n, int perHour = 240, bool rh = true) {
        SampleStore& s = form.store;
        s.clearLists();
        const double step = bvsim::SimulatedLogger::intervalSeconds(perHour) * platform::kSecond;
        for (int i = 0; i < n; ++i) {
            s.SampleTimes.push_back(start + i * step + (i % 2) * 7 * platform::kSecond);
            s.TempData.push_back(float(20 + i % 10));
            s.RHData.push_back(float(40 + i % 7) + 0.6f);
        }
        const QDateTime t = platform::toQDateTime(start);
        form.Startdate->setDate(t.date());
        form.Starttime->setTime(t.time());
        form.SetSamplesPerHour(perHour);
        form.RHBV.setChecked(rh);
        form.RadioButton1->setChecked(true);
        form.AutomaticDownloadRunning = true;
        form.AutoSaveUpload();
    }
};

// Lowers the limit of the size of any file this process writes, so that
// writes past it fail as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

  private:
    rlimit m_saved{};
};

// The user's formats of a locale while it lives.
class UserFormats {
  public:
    explicit UserFormats(const QLocale& locale) {
        platform::formatSettings() = platform::formatSettingsOf(locale);
    }
    ~UserFormats() { platform::formatSettings() = m_saved; }

  private:
    platform::FormatSettings m_saved = platform::formatSettings();
};

// The tips the notification area is asked to show.
class TipLog : public platform::NotificationArea {
  public:
    QStringList tips;
    void add(const QString& tip) override { tips << tip; }
    void setTip(const QString& tip) override { tips << tip; }
    void remove() override {}
    void onClick(std::function<void(Click)>) override {}
    bool available() const override { return true; }
    void setMenu(QMenu*) override {}
};

} // namespace

class TestAutoDownload : public QObject {
    Q_OBJECT
  private slots:
    // Setup > Auto Download as a user meets it, and the tip of the icon while
    // the program waits hidden.
    void menuAndTip() {
        AutoRig t(loggerConfig(2, true, 50));
        TipLog area;
        platform::setNotificationArea(&area);
        TForm1& form = t.form();
        form.show();
        form.Auto4hours->trigger();
        QVERIFY(t.verify->isVisible());
        t.rig.app.dialogs.saveAnswers.push_back(std::nullopt);
        t.verify->Button1Click();
        QVERIFY(form.AutoOff->isChecked());

        form.C1->trigger();
        QVERIFY(form.Auto4hours->isEnabled());
        form.C2->trigger();
        QVERIFY(!form.Auto4hours->isEnabled());
        QVERIFY(form.AutoOff->isChecked());
        form.C1->trigger();
        QVERIFY(form.Auto4hours->isEnabled());
        form.C2->trigger();

        form.BUTTON_HIDEClick();
        QVERIFY(t.setUp(&TForm1::Auto4hours, t.path("plant.csv")));
        QLabel* label = nullptr;
        for (QLabel* l : form.findChildren<QLabel*>())
            if (l->text() == "Next Auto Download:")
                label = l;
        QVERIFY(label && label->isVisibleTo(&form));
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        bool shown = false;
        for (QLineEdit* edit : form.findChildren<QLineEdit*>())
            shown = shown || (edit->isVisibleTo(&form) && edit->text() == form.AutoClock.text());
        QVERIFY(shown);
        QVERIFY(area.tips.contains("AUTOLOAD INITIATED... LOADING HEADER DATA..."));
        QVERIFY(area.tips.contains("AUTOLOAD IN PROGRESS..."));
        QCOMPARE(area.tips.last(), QString("Brenvale charting application, COM1"));
        platform::setNotificationArea(nullptr);
    }

    // Channel 1 then channel 2 into an empty folder: the month's plain files
    // and duplicates, with their headers, holding the logger's samples; the
    // schedule set one interval on; then a second download of the same run
    // appends, without headers, to the same duplicates, which still load.
    void bothChannelsThenAppendInTheSameRun() {
        AutoRig t(recordingLogger(platform::encodeDateTime(2026, 12, 9, 9, 0, 0)));
        t.rig.app.clock.set(platform::encodeDateTime(2026, 12, 9, 10, 0, 0));
        platform::DateTime due = platform::now();
        QVERIFY(t.setUp(&TForm1::Auto1hour, t.path("plant.csv")));
        QVERIFY(t.form().TextForNextAuto.isVisible());
        std::vector<AutoRig::Ended> run = t.waitForRun();
        QCOMPARE(describe(run), "1 ok " + kSaved + " | 2 ok " + kSaved);
        QVERIFY2(!t.statuses.contains("Cannot open file."), qPrintable(t.statuses.join(" | ")));
        QVERIFY(!t.form().InitAutoload.checked());
        const platform::DateTime next = t.form().NextAutoDownload;
        QVERIFY(std::abs(next - (platform::now() + 1.0 / 24)) < 30 * platform::kSecond);

        QStringList names = QDir(t.path("")).entryList({"T*"}, QDir::Files, QDir::Name);
        QCOMPARE(names, (QStringList{"T1202612plant.bvx", "T1202612plant.csv", "T2202612plant.bvx",
                                     "T2202612plant.csv"}));
        const QByteArray plain = readAll(t.path("T1202612plant.csv"));
        QVERIFY(plain.startsWith("~Date Format: mm/dd/yyyy hh:mm:ss\r\n~File Created On: "));
        QVERIFY(plain.contains("\r\n~\r\n~DateTime, Celsius, Kelvin, Fahrenheit, RH, New sensors"));
        // The first row carries the new sensor; the values are checked below.
        const QList<QByteArray> rows =
            plain.mid(plain.indexOf("\r\n12/09/2026 09:00:00, ") + 2).split('\n');
        QVERIFY(rows[0].startsWith("12/09/2026 09:00:00, "));
        QVERIFY(rows[0].endsWith(", 1, 0, 0, 0, 0, 0, 0\r"));
        QVERIFY(rows[1].startsWith("12/09/2026 09:00:15, "));
        const QByteArray dup = readAll(t.path("T1202612plant.bvx"));
        QVERIFY(dup.startsWith("~Date Format: mm/dd/yyyy hh:mm:ss\r\n"));
        QVERIFY(dup.contains("~PC Software Version: "));
        QCOMPARE(dup.count("\r\n~"), 5); // the plain header block, then only scrambled rows
        for (int channel : {1, 2}) {
            const MonthlyCheck check =
                checkMonthlyFiles(t.form(), t.path("plant.csv"), channel, t.rig.logger->config());
            QVERIFY2(check.error.isEmpty(), qPrintable(check.error));
            // 09:00:00 to 10:00:00 at 240 an hour, the last sample included.
            QVERIFY(holdsAllUpTo(check, t, due));
        }
        // A duplicate of the automatic save loads with RH and without events.
        t.form().LoadDataFile(t.path("T2202612plant.bvx"));
        QVERIFY(t.form().RHBV.checked());
        QVERIFY(t.form().store.AlarmStarts[0].empty());
        QCOMPARE(t.form().store.NewSensorEvents.size(), size_t(0));

        t.rig.app.clock.advanceSeconds(3600);
        due = platform::now();
        run = t.waitForRun();
        QCOMPARE(describe(run), "1 ok " + kSaved + " | 2 ok " + kSaved);
        names = QDir(t.path("")).entryList({"T*"}, QDir::Files, QDir::Name);
        QCOMPARE(names.size(), 4);
        QCOMPARE(readAll(t.path("T1202612plant.csv")).count("~Date Format"), 1);
        QCOMPARE(readAll(t.path("T1202612plant.bvx")).count("~Date Format"), 1);
        for (int channel : {1, 2}) {
            const MonthlyCheck check =
                checkMonthlyFiles(t.form(), t.path("plant.csv"), channel, t.rig.logger->config());
            QVERIFY2(check.error.isEmpty(), qPrintable(check.error));
            QVERIFY(holdsAllUpTo(check, t, due));
            QCOMPARE(check.duplicates, 1);
        }
    }

    // A restart: the first download of the new run writes a numbered .bxv
    // with its own header and chain, and goes on appending to it; the month's
    // end starts a new pair of files with the rollover status.
    void laterRunAndMonthRollover() {
        AutoRig t(recordingLogger(kNov30));
        t.rig.app.clock.set(kNov30 + 0.5 / 24);
        QVERIFY(t.setUp(&TForm1::Auto1hour, t.path("plant")));
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        const QByteArray firstDup = readAll(t.path("T1202611plant.bvx"));

        t.restart();
        t.rig.app.clock.advanceSeconds(3600); // into 1 December
        QVERIFY(t.setUp(&TForm1::Auto1hour, t.path("plant")));
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        QVERIFY(t.statuses.contains("File saved. Starting new file..."));
        QCOMPARE(readAll(t.path("T1202611plant.bvx")), firstDup); // never continued
        QVERIFY(QFile::exists(t.path("T1202611plant_0.bxv")));
        QVERIFY(readAll(t.path("T1202611plant_0.bxv")).startsWith("~Date Format: "));
        QVERIFY(readAll(t.path("T1202612plant.csv")).startsWith("~Date Format: "));
        QVERIFY(t.form().windowTitle().endsWith("T2202612plant.csv | Channel 2"));

        t.rig.app.clock.advanceSeconds(3600);
        const platform::DateTime due = platform::now();
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        QVERIFY(!QFile::exists(t.path("T1202612plant_0.bxv"))); // this run's chain goes on
        for (int channel : {1, 2}) {
            const MonthlyCheck check =
                checkMonthlyFiles(t.form(), t.path("plant"), channel, t.rig.logger->config());
            QVERIFY2(check.error.isEmpty(), qPrintable(check.error));
            QCOMPARE(check.months, 2);
            QCOMPARE(check.duplicates, 3);        // November's .bvx and _0.bxv, December's .bvx
            QVERIFY(holdsAllUpTo(check, t, due)); // 23:00 to about 01:30
        }
    }

    // A channel-1 attempt that fails or finds nothing new still lets
    // channel 2 follow; nothing new is no error and leaves the files alone.
    void channel2FollowsWhateverChannel1Did() {
        bvsim::LoggerConfig config = loggerConfig(2, true, 100);
        AutoRig t(config);
        QVERIFY(t.setUp(&TForm1::Auto4hours, t.path("plant.csv")));
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        const QByteArray before = readAll(t.path("T1202612plant.csv"));

        t.rig.app.clock.advanceSeconds(4 * 3600);
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kNothingNew + " | 2 ok " + kNothingNew);
        QCOMPARE(readAll(t.path("T1202612plant.csv")), before);
        QVERIFY(!t.form().Errorindata.checked());

        // Channel 1 now holds nothing at all: its attempt ends in an error.
        config.channels[0].present = false;
        config.channels[1].count = 150;
        t.rig.replaceLogger(config);
        t.form().COMPORTChange(); // Setup > Port, as after changing loggers
        t.rig.app.clock.advanceSeconds(4 * 3600);
        const std::vector<AutoRig::Ended> run = t.waitForRun();
        QCOMPARE(run.size(), size_t(2));
        QVERIFY(!run[0].succeeded);
        QCOMPARE(describe({run[1]}), "2 ok " + kSaved);
        QCOMPARE(readAll(t.path("T1202612plant.csv")), before);
        const MonthlyCheck check = checkMonthlyFiles(t.form(), t.path("plant.csv"), 2, config);
        QVERIFY2(check.error.isEmpty(), qPrintable(check.error));
        QCOMPARE(check.rows, 150);
        QVERIFY(!t.form().InitAutoload.checked()); // the schedule goes on
    }

    // A logger that stays silent: the watchdog ends each attempt, channel 2
    // still follows, and the next time the downloads run again although the
    // upload flags of the timed-out attempt were left as they were.
    void silentLoggerTimesOutAndTheScheduleGoesOn() {
        bvsim::LoggerConfig config = loggerConfig(2, true, 50);
        config.faults.silenceAfter = 0;
        AutoRig t(config);
        QVERIFY(t.setUp(&TForm1::Auto1hour, t.path("plant.csv")));
        const std::vector<AutoRig::Ended> run = t.waitForRun(60, true);
        QCOMPARE(describe(run), "1 failed SERIAL COMMUNICATION TIMED OUT. | 2 failed SERIAL "
                                "COMMUNICATION TIMED OUT.");
        QVERIFY(!t.form().InitAutoload.checked());
        QVERIFY(QDir(t.path("")).entryList({"T*"}, QDir::Files).isEmpty());

        t.rig.replaceLogger(loggerConfig(2, true, 50));
        t.form().COMPORTChange();
        t.rig.app.clock.advanceSeconds(3600);
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
    }

    // A short date format that does not read back ("yy. M. d."): the
    // schedule keeps its time as a number, so the next download still runs.
    void scheduleUnderAKoreanDateFormat() {
        AutoRig t(recordingLogger(platform::encodeDateTime(2026, 12, 9, 9, 0, 0)));
        const UserFormats korean(QLocale("ko_KR"));
        t.rig.app.clock.set(platform::encodeDateTime(2026, 12, 9, 10, 0, 0));
        QVERIFY(t.setUp(&TForm1::Auto1hour, t.path("plant.csv")));
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        QVERIFY2(t.form().AutoClock.text().startsWith("26. 12. 9. "),
                 qPrintable(t.form().AutoClock.text()));
        QCOMPARE(t.form().AutoClock.text(), platform::dateTimeToStr(t.form().NextAutoDownload));
        t.rig.app.clock.advanceSeconds(3600);
        const platform::DateTime due = platform::now();
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        const MonthlyCheck check =
            checkMonthlyFiles(t.form(), t.path("plant.csv"), 1, t.rig.logger->config());
        QVERIFY2(check.error.isEmpty(), qPrintable(check.error));
        QVERIFY(holdsAllUpTo(check, t, due));
    }

    // The port is gone when the downloads fall due: each attempt ends at once
    // with the port's failure on the status line, and the schedule goes on.
    void portGoneEndsEachAttempt() {
        AutoRig t(loggerConfig(2, true, 50));
        QVERIFY(t.setUp(&TForm1::Auto1hour, t.path("plant.csv")));
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        t.form().COMPORT.setText("COM9"); // a port whose device is not there
        t.form().COMPORTChange();
        QVERIFY(!t.form().portOpen());
        // As the reader's clock test does when the time comes.
        QTimer::singleShot(0, &t.form(), [&t] { t.form().ScheduleNextAuto(); });
        const QString cancelled = "UPLOAD CANCELLED. Cannot open serial port.";
        QCOMPARE(describe(t.waitForRun()), "1 failed " + cancelled + " | 2 failed " + cancelled);
        QCOMPARE(t.form().Edit1.text(), cancelled);
        QVERIFY(!t.form().InitAutoload.checked());
        QVERIFY(!t.form().AutoOff->isChecked());
    }

    void channel2Only() {
        AutoRig t(loggerConfig(2, false, 50));
        QVERIFY(t.setUp(&TForm1::Auto24hrs, t.path("plant.csv"), false, true));
        QCOMPARE(describe(t.waitForRun()), "2 ok " + kSaved);
        QCOMPARE(QDir(t.path("")).entryList({"T*"}, QDir::Files, QDir::Name),
                 (QStringList{"T2202612plant.bvx", "T2202612plant.csv"}));
        // RH off: every RH field is 0.
        const MonthlyCheck check =
            checkMonthlyFiles(t.form(), t.path("plant.csv"), 2, t.rig.logger->config());
        QVERIFY2(check.error.isEmpty(), qPrintable(check.error));
        QCOMPARE(check.rows, 50);
    }

    // The time comes during a manual upload: the next time is set, no second
    // upload starts, and the manual upload is not put into the monthly files.
    void dueDuringManualUpload() {
        AutoRig t(loggerConfig(2, true, 3000), "COM1:19200", true);
        t.form().RadioButton2->setChecked(true);
        t.form().UploadDataClick();
        QVERIFY(t.setUp(&TForm1::Auto8hrs, t.path("plant.csv")));
        QTRY_VERIFY(t.form().InitAutoload.checked());
        QVERIFY(t.form().NextAutoDownload > platform::now());
        QVERIFY(t.rig.waitForEnd(60));
        QCOMPARE(t.form().Edit1.text(), QString("DATA LOADED"));
        // The manual upload kept its channel to the end.
        QVERIFY(t.form().RadioButton2->isChecked());
        const QByteArray sent = t.rig.sent();
        QCOMPARE(sent.count('?'), 1);
        QCOMPARE((sent.size() - 1) % 21, 0);
        for (qsizetype at = 1; at < sent.size(); at += 21)
            QCOMPARE(sent.mid(at, 3), QByteArray("002"));
        QTRY_VERIFY(!t.form().InitAutoload.checked());
        QVERIFY(QDir(t.path("")).entryList({"T*"}, QDir::Files).isEmpty());
    }

    // The rows of the monthly files: dates on the logger's grid whatever the
    // store's time stamps say, the base name's folder and extension, RH.
    void monthlyRows_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<int>("perHour");
        QTest::addColumn<bool>("rh");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QByteArray>("secondRow");
        QTest::newRow("240 per hour") << "plant.csv" << 240 << true << "mm/dd/yyyy hh:mm:ss"
                                      << "T1202612plant.csv"
                                      << QByteArray("12/09/2026 10:00:15, 21.00, 294.15, 69.80, "
                                                    "41, 0, 0, 0, 0, 0, 0, 0");
        QTest::newRow("no extension, RH off")
            << "plant" << 240 << false << "mm/dd/yyyy hh:mm:ss"
            << "T1202612plant.csv" << QByteArray("12/09/2026 10:00:15, 21.00, 294.15, 69.80, 0, ");
        QTest::newRow("4 per hour, text file")
            << "plant.txt" << 4 << true << "dd/mm/yyyy hh:mm:ss"
            << "T1202612plant.txt" << QByteArray("09/12/2026 10:15:00, 21.00, ");
        QTest::newRow("comma and AM/PM")
            << "logs/plant.csv" << 240 << true << "mm/dd/yyyy, hh:mm:ss AM/PM"
            << "logs/T1202612plant.csv" << QByteArray("12/09/2026, 10:00:15 AM, 21.00, ");
    }
    void monthlyRows() {
        QFETCH(QString, base);
        QFETCH(int, perHour);
        QFETCH(bool, rh);
        QFETCH(QString, pattern);
        QFETCH(QString, plain);
        QFETCH(QByteArray, secondRow);
        SaveFixture t;
        QDir(t.fx.path("")).mkdir("logs");
        t.form.DATEFORMAT.setText(pattern);
        t.form.Edit2.setText(t.fx.path(base));
        t.form.InitAutoload.setChecked(true);
        t.save(platform::encodeDateTime(2026, 12, 9, 10, 0, 0), 20, perHour, rh);
        QCOMPARE(t.form.Edit1.text(), kSaved);
        QVERIFY(!t.form.InitAutoload.checked());
        const QList<QByteArray> lines = readAll(t.fx.path(plain)).split('\n');
        QCOMPARE(lines.size(), 8 + 20 + 1);
        QVERIFY2(lines[9].startsWith(secondRow), lines[9].constData());
        QVERIFY(lines[27].endsWith("\r"));
        const QString dup = t.fx.path(plain).chopped(4) + ".bvx";
        t.form.LoadDataFile(dup);
        QCOMPARE(t.form.Edit1.text(), QString("File loaded."));
        const SampleStore& s = t.form.store;
        QCOMPARE(s.TempData.size(), size_t(20));
        const double step = bvsim::SimulatedLogger::intervalSeconds(perHour) * platform::kSecond;
        for (int i = 0; i < 20; ++i)
            QVERIFY(std::abs(s.SampleTimes[i] - s.SampleTimes[0] - i * step) < 1e-8);
        QCOMPARE(s.RHData[1], rh ? 41.0f : 0.0f);
    }

    // A write that fails part-way (the file size limit, as a full disk would)
    // leaves both files of every month exactly as before the download; the
    // chain goes back too, so the next download appends one that loads.
    void failedWriteLeavesTheFilesAsTheyWere_data() {
        QTest::addColumn<platform::DateTime>("start");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("limit");
        const platform::DateTime first = platform::encodeDateTime(2026, 11, 30, 23, 0, 0);
        QTest::newRow("in the month") << first + 10 * 15 * platform::kSecond << 200 << 4000;
        QTest::newRow("after the rollover")
            << platform::encodeDateTime(2026, 11, 30, 23, 58, 0) << 300 << 4000;
    }
    void failedWriteLeavesTheFilesAsTheyWere() {
        QFETCH(platform::DateTime, start);
        QFETCH(int, rows);
        QFETCH(int, limit);
        SaveFixture t;
        t.form.Edit2.setText(t.fx.path("plant.csv"));
        t.save(platform::encodeDateTime(2026, 11, 30, 23, 0, 0), 10);
        const QByteArray plain = readAll(t.fx.path("T1202611plant.csv"));
        const QByteArray dup = readAll(t.fx.path("T1202611plant.bvx"));
        {
            FileSizeLimit small(limit);
            t.save(start, rows);
        }
        QCOMPARE(t.form.Edit1.text(), kCannotSave);
        QVERIFY(!t.ended.back().succeeded);
        QCOMPARE(readAll(t.fx.path("T1202611plant.csv")), plain);
        QCOMPARE(readAll(t.fx.path("T1202611plant.bvx")), dup);
        QVERIFY(!QFile::exists(t.fx.path("T1202612plant.csv")));
        QVERIFY(!QFile::exists(t.fx.path("T1202612plant.bvx")));

        // The samples come again with the next download, into one chain.
        t.save(platform::encodeDateTime(2026, 11, 30, 23, 2, 30), 20);
        QCOMPARE(t.form.Edit1.text(), kSaved);
        t.form.LoadDataFile(t.fx.path("T1202611plant.bvx"));
        QCOMPARE(t.form.Edit1.text(), QString("File loaded."));
        QCOMPARE(t.form.store.TempData.size(), size_t(30));
    }

    // Where an automatic range starts: after the newest row of the monthly
    // files, month after month, read in the files' own date format; at the
    // first sample when nothing is saved yet. Finding it changes nothing; the
    // decoder then takes the files' format over.
    void autoStartTime() {
        SaveFixture t;
        t.form.Edit2.setText(t.fx.path("plant.csv"));
        const platform::DateTime first = platform::encodeDateTime(2026, 11, 30, 23, 0, 0);
        t.form.Firstdate.setText("11/30/26");
        t.form.Firsttime.setText("23:00:00");
        TForm1::AutoStart start = t.form.AutoStartTime();
        QCOMPARE(start.time, first);
        QVERIFY(start.saved && start.saved->firstMissing);
        QCOMPARE(start.saved->lastFile, t.fx.path("T1202611plant.csv"));

        t.form.DATEFORMAT.setText("dd/mm/yyyy, hh:mm:ss");
        t.save(first, 300); // into 1 December, 00:14:45
        t.form.DATEFORMAT.setText("yyyy/mm/dd hh:mm:ss");
        const QString shortDate = platform::formatSettings().shortDateFormat;
        start = t.form.AutoStartTime();
        QCOMPARE(platform::toQDateTime(start.time), QDateTime(QDate(2026, 12, 1), QTime(0, 15, 0)));
        QCOMPARE(start.saved->lastFile, t.fx.path("T1202612plant.csv"));
        QCOMPARE(t.form.DATEFORMAT.text(), QString("yyyy/mm/dd hh:mm:ss"));
        t.form.UseMonthlyFilesFormat(*start.saved);
        QCOMPARE(t.form.DATEFORMAT.text(), QString("dd/mm/yyyy, hh:mm:ss"));
        QVERIFY(t.form.DateFormatItems[6]->isChecked());
        QCOMPARE(platform::formatSettings().shortDateFormat, shortDate);

        t.form.Edit2.setText("0");
        start = t.form.AutoStartTime();
        QCOMPARE(start.time, first);
        QVERIFY(!start.saved);
    }

    // The first month's file as the decoder finds it: none yet is the normal
    // start of a month and shows nothing; one that is there but does not
    // open, or holds no date format (an empty file), is reported.
    void monthlyFilesFormatStatus_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("status");
        QTest::newRow("none yet") << QString() << "before";
        QTest::newRow("a folder of that name") << "folder"
                                               << "Cannot open file.";
        QTest::newRow("empty") << "empty"
                               << "Date format not valid in file.";
    }
    void monthlyFilesFormatStatus() {
        QFETCH(QString, first);
        QFETCH(QString, status);
        SaveFixture t;
        t.form.Edit2.setText(t.fx.path("plant.csv"));
        t.form.Firstdate.setText("12/09/26");
        t.form.Firsttime.setText("10:00:00");
        const QString name = t.fx.path("T1202612plant.csv");
        if (first == "folder") {
            QVERIFY(QDir().mkdir(name));
        } else if (first == "empty") {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        t.form.Edit1.setText("before");
        const TForm1::AutoStart start = t.form.AutoStartTime();
        t.form.UseMonthlyFilesFormat(*start.saved);
        QCOMPARE(t.form.Edit1.text(), status);
        QCOMPARE(t.form.DATEFORMAT.text(), QString("mm/dd/yyyy hh:mm:ss"));
    }

    // Without a destination the time comes, the next one is set and nothing starts.
    void noDestination() {
        AutoRig t(loggerConfig(2, true, 50));
        QVERIFY(t.setUp(&TForm1::Auto4hours, t.path("plant.csv")));
        t.form().Edit2.clear();
        const QString due = t.form().AutoClock.text();
        QTRY_VERIFY(t.form().AutoClock.text() != due);
        QTest::qWait(1500);
        QVERIFY(!t.form().InitAutoload.checked());
        QVERIFY(t.rig.sent().isEmpty());
    }
};

QTEST_MAIN(TestAutoDownload)
#include "test_auto_download_handlers.moc"
