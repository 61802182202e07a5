// Whole uploads under the user's formats of several locales and at logging
// rates that do and do not divide an hour, then saved and loaded back: the
// user's formats shape only what the user reads, so every locale stores the
// logger's samples exactly and writes the same bytes.
#include "platform/formatting.h"
#include "upload_rig.h"
#include <QLocale>
#include <QTest>

namespace {

const QStringList kLocales = {"C", "en_US", "de_DE", "fr_FR", "ko_KR", "hu_HU", "ja_JP"};

// The user's formats of a locale, as start-up takes them from the system's.
void useLocale(const QString& name) {
    QLocale::setDefault(QLocale(name));
    platform::formatSettings() = platform::formatSettingsOf(QLocale(name));
}

struct Saved {
    QByteArray plain, duplicate;
};

// A save dialog that lets the program run (the reader's callbacks among it)
// until the upload has ended, as a user who leaves the dialog open does.
class SlowSaveDialogs : public platform::ScriptedDialogs {
  public:
    explicit SlowSaveDialogs(UploadRig& rig) : m_rig(rig) {}
    std::optional<QString> saveFileName(const QString& filter,
                                        const QString& defaultSuffix) override {
        m_rig.waitForEnd();
        return ScriptedDialogs::saveFileName(filter, defaultSuffix);
    }

  private:
    UploadRig& m_rig;
};

} // namespace

class TestLocaleRateMatrix : public QObject {
    Q_OBJECT

    // A logger of `format` holding `count` samples at `perHour`, both
    // channels with RH.
    static bvsim::LoggerConfig logger(int format, double perHour, int count) {
        return loggerConfig(format, true, count, perHour);
    }

    // Saves the store as `name` in the rig's folder and returns both files.
    static Saved save(UploadRig& rig, const QString& name) {
        rig.app.dialogs.saveAnswers.push_back(rig.app.path(name));
        rig.form().SaveDataFile();
        return {rig.app.readFile(name), rig.app.readFile(QString(name).replace(".csv", ".bvx"))};
    }

    // Loads the duplicate back and compares it with the logger's samples; a
    // data file marks its first row as a new sensor.
    static QString loadBackDifference(UploadRig& rig, bvsim::LoggerConfig config, int count) {
        TForm1& form = rig.form();
        form.LoadDataFile(rig.app.path("matrix.bvx"));
        if (form.Edit1.text() != "File loaded.")
            return "load: " + form.Edit1.text();
        auto& events = config.channels[0].events;
        events.insert(events.begin(), {0, 0xfff8});
        return storeDifference(form.store, config, 0, 0, count);
    }

  private slots:
    void cleanup() { useLocale("C"); }

    // 1501 samples: one block of 1500 and one of the last sample, at every
    // rate in each header format that can state it, under every locale.
    void uploadSaveLoad_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<double>("perHour");
        for (const double perHour : {240.0, 60.0, 13.0, 7.0, 0.5})
            for (const int format : {1, 2}) {
                // Older loggers state their rate as a whole number an hour.
                if (format == 1 && perHour != std::floor(perHour))
                    continue;
                QTest::addRow("format %d, %g per hour", format, perHour) << format << perHour;
            }
    }
    void uploadSaveLoad() {
        QFETCH(int, format);
        QFETCH(double, perHour);
        const int count = 1501;
        const bvsim::LoggerConfig config = logger(format, perHour, count);
        std::optional<Saved> first;
        for (const QString& locale : kLocales) {
            UploadRig rig(config);
            useLocale(locale);
            const QString where = locale + ": ";
            QVERIFY2(rig.upload(), qPrintable(where + rig.form().Edit1.text()));
            QVERIFY2(rig.statuses.contains(QString("Reading 1500 of %1").arg(count)),
                     qPrintable(where + rig.statuses.join(" | ")));
            const QString difference = storeDifference(rig.form().store, config, 0, 0, count);
            QVERIFY2(difference.isEmpty(), qPrintable(where + difference));

            const Saved saved = save(rig, "matrix.csv");
            QVERIFY2(saved.plain.size() > 0 && saved.duplicate.size() > 0, qPrintable(where));
            if (!first)
                first = saved;
            QVERIFY2(saved.plain == first->plain, qPrintable(where + "plain file differs"));
            QVERIFY2(saved.duplicate == first->duplicate, qPrintable(where + "duplicate differs"));

            const QString loaded = loadBackDifference(rig, config, count);
            QVERIFY2(loaded.isEmpty(), qPrintable(where + loaded));
        }
    }

    // The save dialog stays open while the whole upload runs inside it.
    void saveDialogOpenDuringAnUpload_data() {
        QTest::addColumn<QString>("locale");
        for (const QString& locale : {"de_DE", "ko_KR", "hu_HU"})
            QTest::newRow(qPrintable(locale)) << locale;
    }
    void saveDialogOpenDuringAnUpload() {
        QFETCH(QString, locale);
        const bvsim::LoggerConfig config = logger(2, 0.5, 1501);
        UploadRig rig(config);
        useLocale(locale);
        SlowSaveDialogs dialogs(rig);
        dialogs.saveAnswers.push_back(rig.app.path("during.csv"));
        platform::setDialogs(&dialogs);
        rig.statuses.clear();
        rig.form().UploadDataClick();
        rig.form().SaveDataFile();
        platform::setDialogs(&rig.app.dialogs);
        QCOMPARE(rig.form().Edit1.text(), "Data file and encrypted duplicate (*.bvx) saved.");
        QVERIFY(rig.statuses.contains("DATA LOADED"));
        const QString difference = storeDifference(rig.form().store, config, 0, 0, 1501);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QVERIFY(dialogs.errors().isEmpty());
    }
};

QTEST_MAIN(TestLocaleRateMatrix)
#include "test_locale_rate_matrix.moc"
