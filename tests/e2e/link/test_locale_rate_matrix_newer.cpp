// The locale x rate matrix for newer loggers, down to one sample every two
// hours, and a save dialog left open while an upload runs.
#include "locale_matrix.h"
#include <QTest>

namespace {

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

class TestLocaleRateMatrixNewer : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { useLocale("C"); }

    void uploadSaveLoad_data() {
        QTest::addColumn<double>("perHour");
        for (const double perHour : {240.0, 60.0, 13.0, 7.0, 0.5})
            QTest::addRow("%g per hour", perHour) << perHour;
    }
    void uploadSaveLoad() {
        QFETCH(double, perHour);
        const QString difference = uploadSaveLoadUnderEveryLocale(2, perHour);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // The save dialog stays open while the whole upload runs inside it.
    void saveDialogOpenDuringAnUpload_data() {
        QTest::addColumn<QString>("locale");
        for (const char* locale : {"de_DE", "ko_KR", "hu_HU"})
            QTest::newRow(locale) << QString(locale);
    }
    void saveDialogOpenDuringAnUpload() {
        QFETCH(QString, locale);
        const bvsim::LoggerConfig config = matrixLogger(2, 0.5, 1501);
        UploadRig rig(config, kMatrixPort);
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

QTEST_MAIN(TestLocaleRateMatrixNewer)
#include "test_locale_rate_matrix_newer.moc"
