// The main window's start-up, state controls, ClearBuffer, date formats and
// user-information dialogs.
#include "app/date_formats.h"
#include "app/tform1.h"
#include "app/user_dialogs.h"
#include "app_fixture.h"
#include "chart/chart.h"
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

QString checkedDateFormat(const TForm1& form) {
    for (QAction* item : form.DateFormatItems)
        if (item->isChecked())
            return item->text();
    return QString();
}

} // namespace

class TestAppShell : public QObject {
    Q_OBJECT
  private slots:
    void startUpValues() {
        AppFixture app;
        TForm1& form = app.start();
        QCOMPARE(form.windowTitle(), QString("Brenvale(tm) - Version 5.2.1"));
        QCOMPARE(form.store.BaseCaption, QString("Brenvale(tm) - Version 5.2.1"));
        QCOMPARE(form.ThisAppDir.text() + "/COM1", app.path("COM1"));
        QCOMPARE(form.COMPORT.text(), QString("COM1"));
        QCOMPARE(form.DATEFORMAT.text(), QString("mm/dd/yyyy hh:mm:ss"));
        QCOMPARE(form.Samplesperhour.text(), QString("240"));
        for (const TextControl* memo : {&form.Memo1, &form.Memo2, &form.Memo3, &form.Memo5,
                                        &form.Edit1, &form.Edit2, &form.UserInformationBox})
            QVERIFY2(memo->text().isEmpty(), qPrintable(memo->name()));
        for (const FlagControl* flag :
             {&form.Startloadingheader, &form.Headerloaded, &form.Startloadingdata,
              &form.Errorindata, &form.Readyfornextblock, &form.WaitingForAck, &form.WaitOnFastAck,
              &form.FastBaud, &form.InitAutoload, &form.DataLoaded, &form.RHBV,
              &form.FileEncryptFlag})
            QVERIFY2(!flag->checked(), qPrintable(flag->name()));
        QVERIFY(form.FreshData.checked());
        for (const TextControl* edit :
             {&form.Firstdate, &form.Firsttime, &form.Lastdate, &form.Lasttime, &form.Datastored})
            QCOMPARE(edit->text(), edit->name());
        QCOMPARE(form.Watchdog.value(), app.clock.now());
        QVERIFY(form.RadioButton1->isChecked());
        QVERIFY(!form.RadioButton2->isChecked());
        QVERIFY(!form.AbortUpload->isEnabled());
        QVERIFY(form.TempInF->isChecked());
        QVERIFY(form.AutoScale->isChecked());
        QCOMPARE(form.MaxTemp->text(), QString("100"));
        QCOMPARE(form.MinTemp->text(), QString("0"));
        QVERIFY(!form.MaxTemp->isEnabled());
        QVERIFY(form.AutoOff->isChecked());
        QVERIFY(form.C1->isChecked() && form.C2->isChecked());
        QCOMPARE(checkedDateFormat(form), QString("mm/dd/yyyy hh:mm:ss"));
        QVERIFY(!form.SecureData->isVisibleTo(&form));
        QVERIFY(!form.LockImage->isVisibleTo(&form));
        QVERIFY(!form.FAQ1->isEnabled() && !form.Upgrade1->isEnabled());
        QCOMPARE(form.LoadChart1->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(form.SaveChart1->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(form.NewClear1->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(form.PrintChart1->shortcut(), QKeySequence("Ctrl+P"));
        QVERIFY(app.dialogs.shown.empty());

        for (ChartSeries* series : {&form.Chart1->Series1(), &form.Chart1->Series2()}) {
            QCOMPARE(series->count(), 1);
            QCOMPARE(series->x(0), 0.0);
            QCOMPARE(series->y(0), 0.0);
            QCOMPARE(series->label(0), QString("No data"));
            QCOMPARE(series->colour(0), QColor(128, 128, 128));
        }
        QCOMPARE(form.Chart1->title(), QString("TWO DIMENSIONAL TEMPERATURE RECORDER"));
        QCOMPARE(form.Chart1->footerLines(),
                 (QStringList{"Units=F  Storage Rate=15sec   Recorded Temp=Datastored", ""}));
        QVERIFY(!form.Chart1->RightAxis().visible());
        QCOMPARE(form.Chart1->LeftAxis().minimum(), 0.0);
        QCOMPARE(form.Chart1->LeftAxis().maximum(), 100.0);
        QCOMPARE(form.Chart1->dateTimeFormat(), QString("mm/dd/yyyy hh:mm:ss"));
    }

    void footerShowsTheStoredUser() {
        AppFixture app;
        app.writeFile("USERINFO.DAT", "~User Name: \r\n~User Location: Lab 4\r\n~BV ID: \r\n"
                                      "~PC Software Version: x\r\n");
        TForm1& form = app.start();
        QCOMPARE(form.Chart1->footerLines(),
                 (QStringList{"Units=F  Storage Rate=15sec   Recorded Temp=Datastored",
                              "  Location=Lab 4", ""}));
        form.RHBV.setChecked(true);
        QVERIFY(form.Chart1->RightAxis().visible());
        QCOMPARE(form.store.RHDigitsPerValue, 2);
    }

    void sameValueRunsNothing() {
        int runs = 0; // outlives the window, whose destruction clears the memos
        AppFixture app;
        TForm1& form = app.start();
        // InitAutoload stays checked: unchecking an unchecked Errorindata runs no handler.
        form.InitAutoload.setChecked(true);
        form.ClearBuffer();
        QVERIFY(form.InitAutoload.checked());
        // A real change does run it.
        form.Errorindata.setChecked(true);
        QVERIFY(!form.InitAutoload.checked());

        form.Memo3.setHandler([&] { ++runs; });
        form.Memo3.setText("x");
        form.Memo3.setText("x");
        form.Memo3.append("");
        QCOMPARE(runs, 1);
    }

    void handlersRunInsideTheSetter() {
        QStringList order;
        AppFixture app;
        TForm1& form = app.start();
        form.Memo3.setHandler([&] {
            order << "memo";
            form.Readyfornextblock.setChecked(true);
        });
        form.Readyfornextblock.setHandler([&] { order << "flag"; });
        form.Memo3.setText("go");
        order << "after";
        QCOMPARE(order, (QStringList{"memo", "flag", "after"}));
        QVERIFY(form.Readyfornextblock.checkedAnyThread());
        QCOMPARE(form.Memo3.textAnyThread(), QString("go"));
    }

    void clearBufferEmptiesTheStore_data() {
        QTest::addColumn<QByteArray>("userInfo");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("without USERINFO.DAT") << QByteArray() << QStringList{"", "", "", ""};
        QTest::newRow("with USERINFO.DAT")
            << QByteArray("~User Name: Ann\r\n~User Location: Lab\r\n~BV ID: 7\r\n"
                          "~PC Software Version: Brenvale(tm) - Version 5.2.1\r\n")
            << QStringList{"Ann", "Lab", "7", "Brenvale(tm) - Version 5.2.1"};
    }
    void clearBufferEmptiesTheStore() {
        QFETCH(QByteArray, userInfo);
        QFETCH(QStringList, values);
        AppFixture app;
        if (!userInfo.isEmpty())
            app.writeFile("USERINFO.DAT", userInfo);
        TForm1& form = app.start();
        form.store.TempData = {1.0f, 9999.0f};
        form.store.RHData = {50.0f, 9999.0f};
        form.store.SampleTimes = {1.0, 2.0};
        form.store.TestEnds = {1.5};
        form.store.HexDigitsPerValue = 4;
        form.store.CalCodeA[1] = "FFFF";
        form.store.StoredPerHour[0] = 240;
        form.store.HeaderFormat = 2;
        form.Memo2.setText("header");
        form.Startloadingdata.setChecked(true);
        form.RHBV.setChecked(true);
        form.FastBaud.setChecked(true);
        form.SetSamplesPerHour(60);
        form.AbortUpload->setEnabled(true);
        form.UploadData->setEnabled(false);
        form.RadioButton2->setEnabled(false);

        form.NewClear1->trigger();

        QVERIFY(form.store.TempData.empty() && form.store.RHData.empty());
        QVERIFY(form.store.SampleTimes.empty() && form.store.TestEnds.empty());
        QCOMPARE(form.store.HexDigitsPerValue, 0);
        QVERIFY(form.store.CalCodeA[1].isEmpty());
        QCOMPARE(form.store.StoredPerHour[0], 0.0f);
        QCOMPARE(form.store.HeaderFormat.load(), 2); // not the buffer's to reset
        QVERIFY(form.Memo2.text().isEmpty());
        QVERIFY(form.Edit1.text().isEmpty());
        QVERIFY(!form.Startloadingdata.checked() && !form.RHBV.checked() &&
                !form.FastBaud.checked());
        QCOMPARE(form.Samplesperhour.text(), QString("240"));
        QCOMPARE(form.SamplesPerHour, 240.0);
        QVERIFY(form.UploadData->isEnabled() && !form.AbortUpload->isEnabled());
        QVERIFY(form.RadioButton2->isEnabled());
        QStringList stored{form.store.UserName, form.store.UserLocation, form.store.UnitId,
                           form.store.SoftwareVersion};
        QCOMPARE(stored, values);
    }

    void clearBufferPausesTwice() {
        AppFixture app;
        TForm1& form = app.start();
        const double before = app.clock.now();
        form.ClearBuffer();
        QCOMPARE(qRound((app.clock.now() - before) * 86400.0 * 1000.0), 1000);
    }

    void dateFormatChoiceSurvivesRestart() {
        AppFixture app;
        {
            TForm1& form = app.start();
            form.DateFormatItems[6]->trigger(); // "dd/mm/yyyy, hh:mm:ss"
            QCOMPARE(form.DATEFORMAT.text(), QString("dd/mm/yyyy, hh:mm:ss"));
            QCOMPARE(app.readFile("DATEFMT.DAT"), QByteArray("dd/mm/yyyy, hh:mm:ss"));
        }
        TForm1& again = app.start();
        QCOMPARE(again.DATEFORMAT.text(), QString("dd/mm/yyyy, hh:mm:ss"));
        QCOMPARE(checkedDateFormat(again), QString("dd/mm/yyyy, hh:mm:ss"));
        QCOMPARE(again.Chart1->dateTimeFormat(), QString("dd/mm/yyyy, hh:mm:ss"));
    }

    void foreignDateFormatChecksNoItem() {
        AppFixture app;
        app.writeFile("DATEFMT.DAT", "yyyy/mm/dd hh:mm:ss\r\n");
        TForm1& form = app.start();
        QCOMPARE(form.DATEFORMAT.text(), QString("yyyy/mm/dd hh:mm:ss\r\n"));
        QCOMPARE(checkedDateFormat(form), QString("mm/dd/yyyy hh:mm:ss")); // the one before
    }

    void storedPortIsTakenOver() {
        AppFixture app;
        app.writeFile("COMPORT.DAT", "COM7:115200");
        TForm1& form = app.start();
        QCOMPARE(form.COMPORT.text(), QString("COM7:115200"));
    }

    void channelsExcludeEachOther() {
        AppFixture app;
        TForm1& form = app.start();
        form.RadioButton2->click();
        QVERIFY(form.RadioButton2->isChecked() && !form.RadioButton1->isChecked());
        form.RadioButton1->setChecked(true);
        QVERIFY(form.RadioButton1->isChecked() && !form.RadioButton2->isChecked());
    }

    void userDialogStoresStrippedValues() {
        AppFixture app;
        TForm1& form = app.start();
        form.setWindowTitle(form.store.BaseCaption + " | /data/run.csv | Channel 1");
        TForm4 dialog(form);
        dialog.show();
        QVERIFY(dialog.UserInfo->text().isEmpty()); // no USERINFO.DAT yet
        dialog.UserInfo->setText("Ann~");
        dialog.UserLocation->setText("~Lab~4");
        dialog.BVInfo->setText("BV7");
        dialog.Button1->click();
        QCOMPARE(dialog.UserLocation->text(), QString("Lab4"));
        QVERIFY(!dialog.isVisible());
        const QByteArray expected = "~User Name: Ann\r\n~User Location: Lab4\r\n~BV ID: BV7\r\n"
                                    "~PC Software Version: Brenvale(tm) - Version 5.2.1\r\n";
        QCOMPARE(app.readFile("USERINFO.DAT"), expected);
        QCOMPARE(form.UserInformationBox.text(), QString::fromLatin1(expected));
        // The store keeps the old values until the next reset.
        QVERIFY(form.store.UserName.isEmpty());

        TForm5 verify(form);
        verify.show();
        QCOMPARE(verify.UserInfo->text(), QString("Ann"));
        QCOMPARE(verify.BVInfo->text(), QString("BV7"));
    }

    void cancelStoresNothing() {
        AppFixture app;
        TForm1& form = app.start();
        TForm4 dialog(form);
        dialog.show();
        dialog.UserInfo->setText("Bob");
        dialog.Button2->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!QFile::exists(app.path("USERINFO.DAT")));
        QVERIFY(form.UserInformationBox.text().isEmpty());
    }

    void emptyUserInformationLeavesTheEdits() {
        AppFixture app;
        TForm1& form = app.start();
        TForm5 dialog(form);
        dialog.UserInfo->setText("typed before");
        dialog.show();
        QCOMPARE(dialog.UserInfo->text(), QString("typed before"));
    }

    void failedWriteShowsTheErrorAndKeepsTheDialogOpen() {
        AppFixture app;
        TForm1& form = app.start();
        form.ThisAppDir.setText(app.path("no/such/folder"));
        TForm4 dialog(form);
        dialog.show();
        dialog.UserInfo->setText("A~");
        dialog.Button1->click();
        QCOMPARE(app.dialogs.errors().size(), 1);
        QVERIFY(app.dialogs.errors()[0].startsWith("Cannot create file"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.UserInfo->text(), QString("A"));
    }

    void verifyWithIntervalAsksForTheAutomaticFile_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }
    void verifyWithIntervalAsksForTheAutomaticFile() {
        QFETCH(bool, confirmed);
        AppFixture app;
        TForm1& form = app.start();
        form.Auto4hours->setChecked(true);
        form.InitAutoload.setChecked(true);
        app.dialogs.saveAnswers.push_back(confirmed ? std::optional<QString>(app.path("plant.csv"))
                                                    : std::nullopt);
        app.clock.advanceSeconds(60);
        TForm5 dialog(form);
        dialog.show();
        dialog.Button1->click();
        QCOMPARE(form.Edit2.text(), confirmed ? app.path("plant.csv") : QString());
        QCOMPARE(form.TextForNextAuto.isVisible(), confirmed);
        QCOMPARE(form.AutoOff->isChecked(), !confirmed);
        QCOMPARE(form.InitAutoload.checked(), confirmed);
        QVERIFY(!QFile::exists(app.path("plant.csv")));
    }
};

QTEST_MAIN(TestAppShell)
#include "test_app_shell.moc"
