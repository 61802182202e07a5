// Automatic downloads: Setup > Auto Download, the scheduler, the monthly
// files and their duplicates, against a simulated logger that goes on
// recording as the manual clock advances, and the monthly rows written from a
// store of the test's making.
#include "auto_rig.h"
#include "files/cipher.h"
#include "files/data_file_reader.h"
#include "files/monthly_files.h"
#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimeEdit>
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

// Sample k of a logger recording from `first`, on the manual clock.
platform::DateTime sampleTime(platform::DateTime first, int k, int perHour = 240) {
    return first + k * bvsim::SimulatedLogger::intervalSeconds(perHour) * platform::kSecond;
}

} // namespace

class TestAutoDownload : public QObject {
    Q_OBJECT
  private slots:
    // Channel 1 then channel 2 into an empty folder: the month's plain files
    // and duplicates, with their headers, holding the logger's samples; the
    // schedule set one interval on; then a second download of the same run
    // appends, without headers, to the same duplicates, which still load.
    void bothChannelsThenAppendInTheSameRun() {
        AutoRig t(recordingLogger(platform::encodeDateTime(2026, 12, 9, 9, 0, 0)));
        t.rig.app.clock.set(platform::encodeDateTime(2026, 12, 9, 10, 0, 0));
        QVERIFY(t.setUp(&TForm1::Auto1hour, t.path("plant.csv")));
        QVERIFY(t.form().TextForNextAuto.isVisible());
        std::vector<AutoRig::Ended> run = t.waitForRun();
        QCOMPARE(describe(run), "1 ok " + kSaved + " | 2 ok " + kSaved);
        QVERIFY(!t.form().InitAutoload.checked());
        const platform::DateTime next = platform::strToDateTime(t.form().AutoClock.text());
        QVERIFY(std::abs(next - (platform::now() + 1.0 / 24)) < 30 * platform::kSecond);

        QStringList names = QDir(t.path("")).entryList({"T*"}, QDir::Files, QDir::Name);
        QCOMPARE(names, (QStringList{"T1202612plant.bvx", "T1202612plant.csv", "T2202612plant.bvx",
                                     "T2202612plant.csv"}));
        const QByteArray plain = readAll(t.path("T1202612plant.csv"));
        QVERIFY(plain.startsWith("~Date Format: mm/dd/yyyy hh:mm:ss\r\n~File Created On: "));
        QVERIFY(plain.contains("\r\n~\r\n~DateTime, Celsius, Kelvin, Fahrenheit, RH, New sensors"));
        QVERIFY(plain.contains("\r\n12/09/2026 09:00:00, 20.00, 293.15, 68.00, 50, 1, 0, 0, 0, 0, "
                               "0, 0\r\n12/09/2026 09:00:15, 20.25, "));
        const QByteArray dup = readAll(t.path("T1202612plant.bvx"));
        QVERIFY(dup.startsWith("~Date Format: mm/dd/yyyy hh:mm:ss\r\n"));
        QVERIFY(dup.contains("~PC Software Version: "));
        QCOMPARE(dup.count("\r\n~"), 5); // the plain header block, then only scrambled rows
        for (int channel : {1, 2}) {
            const MonthlyCheck check =
                checkMonthlyFiles(t.form(), t.path("plant.csv"), channel, t.rig.logger->config());
            QVERIFY2(check.error.isEmpty(), qPrintable(check.error));
            // Until a range that ends at the logger's last sample includes it,
            // that sample comes with the next download.
            QVERIFY2(check.rows >= 240, qPrintable(QString::number(check.rows)));
        }
        // A duplicate of the automatic save loads with RH and without events.
        t.form().LoadDataFile(t.path("T2202612plant.bvx"));
        QVERIFY(t.form().RHBV.checked());
        QVERIFY(t.form().store.AlarmStarts[0].empty());
        QCOMPARE(t.form().store.NewSensorEvents.size(), size_t(0));

        t.rig.app.clock.advanceSeconds(3600);
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
            QVERIFY(check.rows >= 480);
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
        QCOMPARE(describe(t.waitForRun()), "1 ok " + kSaved + " | 2 ok " + kSaved);
        QVERIFY(!QFile::exists(t.path("T1202612plant_0.bxv"))); // this run's chain goes on
        for (int channel : {1, 2}) {
            const MonthlyCheck check =
                checkMonthlyFiles(t.form(), t.path("plant"), channel, t.rig.logger->config());
            QVERIFY2(check.error.isEmpty(), qPrintable(check.error));
            QCOMPARE(check.months, 2);
            QCOMPARE(check.duplicates, 3); // November's .bvx and _0.bxv, December's .bvx
            QVERIFY(check.rows >= 590);
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
        QVERIFY(check.rows >= 149);
        QVERIFY(!t.form().InitAutoload.checked()); // the schedule goes on
    }

    void channel2Only() {
        AutoRig t(loggerConfig(2, false, 50));
        QVERIFY(t.setUp(&TForm1::Auto24hrs, t.path("plant.csv"), false, true));
        QCOMPARE(describe(t.waitForRun()), "2 ok " + kSaved);
        QCOMPARE(QDir(t.path("")).entryList({"T*"}, QDir::Files, QDir::Name),
                 (QStringList{"T2202612plant.bvx", "T2202612plant.csv"}));
        // RH off: every RH field is 0.
        QVERIFY(readAll(t.path("T2202612plant.csv")).contains(", 20.00, 293.15, 68.00, 0, 1, 0"));
    }

    // The time comes during a manual upload: the next time is set, no second
    // upload starts, and the manual upload is not put into the monthly files.
    void dueDuringManualUpload() {
        AutoRig t(loggerConfig(2, true, 3000), "COM1:19200", true);
        t.form().RadioButton2->setChecked(true);
        t.form().UploadDataClick();
        QVERIFY(t.setUp(&TForm1::Auto8hrs, t.path("plant.csv")));
        QTRY_VERIFY(t.form().InitAutoload.checked());
        QVERIFY(platform::strToDateTime(t.form().AutoClock.text()) > platform::now());
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
#include "test_auto_download.moc"
