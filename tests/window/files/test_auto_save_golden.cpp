// The bytes of the data files as an uninterrupted automatic save and Save
// Chart write them, pinned by their SHA-256 digests: what makes a save safe
// against a crash must not change a single byte of a save that was not
// interrupted.
#include "app/user_dialogs.h"
#include "app_fixture.h"
#include <QCryptographicHash>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimeEdit>

using platform::encodeDateTime;

namespace {

// "name sha256" of every file of the folder, one a line, by name.
QString digests(const QString& folder) {
    QStringList lines;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({"T*", "june.*"}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return "cannot read " + name;
        lines << name + " " +
                     QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    }
    return lines.join('\n');
}

// `count` samples from `first`, four an hour, temperatures and RH that walk
// through signs and decimals.
void fillStore(SampleStore& s, platform::DateTime first, int count) {
    for (int i = 0; i < count; ++i) {
        s.SampleTimes.push_back(first + i / 96.0);
        s.TempData.push_back(-12.5f + 0.37f * float(i % 97));
        s.RHData.push_back(float(i % 101));
    }
    s.NewSensorEvents = {first};
    s.AlarmStarts[0] = {first + 2 / 96.0};
    s.UserName = "Ann, QA";
    s.UserLocation = "Lab 2";
    s.UnitId = "BV-0042";
    s.SoftwareVersion = "Brenvale(tm) - Version 5.2.1";
}

} // namespace

class TestAutoSaveGolden : public QObject {
    Q_OBJECT

    void cases() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("rh");
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("digest");
    }

  private slots:
    void automaticSave_data() {
        cases();
        QTest::newRow("RH, within a month")
            << "mm/dd/yyyy hh:mm:ss" << true << 9
            << QString("T1202612plant.bvx "
                       "d4024ad5bb5327f8b6431c3e77dad2a9b6c7147e5a4c11e807fb5d14b75421f7\n"
                       "T1202612plant.csv "
                       "d80b73883179425d956bea5957f989618b4b63e2eaa90194804d5d10d831b1a7");
        QTest::newRow("no RH, across the month's end")
            << "mm/dd/yyyy hh:mm:ss" << false << 31
            << QString("T1202612plant.bvx "
                       "1fda1841a0d96ae5d1fc26d5bf1abc30c8dde052dc683b0701f0e6294c92ebae\n"
                       "T1202612plant.csv "
                       "23f0d0151bf7f2d6302f73949b85488a7bb5c9b803b2fa275b532ad68564529d\n"
                       "T1202701plant.bvx "
                       "5b3d91f5fc9f9101bf3a88b6387bae25108397bfca12172ac407ff10156b601f\n"
                       "T1202701plant.csv "
                       "0f7682138545fff7cdc4dce4182fb02d95fe0fb36e4d0f0dd4a187146969bc6b");
        QTest::newRow("RH, comma format, across the month's end")
            << "dd/mm/yyyy, hh:mm:ss" << true << 31
            << QString("T1202612plant.bvx "
                       "b2952e200a538d6cfb4e4f57868a3c53ff46dae36b71448a8bc02c0aab451786\n"
                       "T1202612plant.csv "
                       "e69557ade69d7f1d47a801589cb1e42ef39f114dbf06909abe496523a84022dc\n"
                       "T1202701plant.bvx "
                       "5dfe5693f04625a7e5954a7accb92057184de891a5372224eeae9e0934c0ab5a\n"
                       "T1202701plant.csv "
                       "fbd1ac3cf7d84aa0eb3df5e38f57fe18016d3f3e81fe9d999b2fd29a522c5453");
    }
    // Two downloads of one run: the second appends to the same files.
    void automaticSave() {
        QFETCH(QString, pattern);
        QFETCH(bool, rh);
        QFETCH(int, day);
        QFETCH(QString, digest);
        AppFixture fx;
        TForm1& form = fx.start();
        fx.clock.set(encodeDateTime(2027, 1, 2, 10, 0, 0));
        form.Edit2.setText(fx.path("plant.csv"));
        form.DATEFORMAT.setText(pattern);
        form.RHBV.setChecked(rh);
        form.SetSamplesPerHour(4);
        const platform::DateTime first = encodeDateTime(2026, 12, day, 20, 0, 0);
        for (int download = 0; download < 2; ++download) {
            const platform::DateTime from = first + download * 25 / 96.0;
            form.ClearBuffer();
            fillStore(form.store, from, 25);
            const QDateTime start = platform::toQDateTime(from);
            form.Startdate->setDate(start.date());
            form.Starttime->setTime(start.time());
            form.AutomaticDownloadRunning = true;
            form.AutoSaveUpload();
            QCOMPARE(form.Edit1.text(), QString("File saved."));
        }
        QCOMPARE(digests(fx.path("")), digest);
    }

    void saveChart_data() {
        cases();
        QTest::newRow("RH")
            << "mm/dd/yyyy hh:mm:ss" << true << 9
            << QString("june.bvx 435833759c1d7c36d2881318ec7fd5a0f3b4db90f106904243f5795a64fb68ba\n"
                       "june.csv e637640247ee3fe34e2fd560739089be512525fc61a49eaa0bbbbadd44fefc02");
        QTest::newRow("no RH, comma format")
            << "dd/mm/yyyy, hh:mm:ss" << false << 31
            << QString("june.bvx d016c3496a29030aecd20520e5d2a344ec9fc874434ed0f427cb3b7f665f9078\n"
                       "june.csv 741e4ab0762c060f40aa990f425bd3abfd9deeec88d43c852c06180bdf1e15b2");
    }
    void saveChart() {
        QFETCH(QString, pattern);
        QFETCH(bool, rh);
        QFETCH(int, day);
        QFETCH(QString, digest);
        AppFixture fx;
        TForm1& form = fx.start();
        TForm5 verify(form);
        form.setDialogs(nullptr, nullptr, &verify, nullptr);
        fx.clock.set(encodeDateTime(2027, 1, 2, 10, 0, 0));
        form.DATEFORMAT.setText(pattern);
        form.RHBV.setChecked(rh);
        fillStore(form.store, encodeDateTime(2026, 12, day, 20, 0, 0), 50);
        verify.UserInfo->setText(form.store.UserName);
        verify.UserLocation->setText(form.store.UserLocation);
        verify.BVInfo->setText(form.store.UnitId);
        form.SavedataClick();
        fx.dialogs.saveAnswers.push_back(fx.path("june.csv"));
        verify.Button1Click();
        QCOMPARE(form.Edit1.text(), QString("Data file and encrypted duplicate (*.bvx) saved."));
        QCOMPARE(digests(fx.path("")), digest);
    }
};

QTEST_MAIN(TestAutoSaveGolden)
#include "test_auto_save_golden.moc"
