// The main window's start-up, state controls, ClearBuffer, date formats and
// user-information dialogs.
#include "app/date_formats.h"
#include "app/tform1.h"
#include "app/user_dialogs.h"
#include "app_fixture.h"
#include "chart/chart.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpontaneKeyEvent>
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
             {&form.Firstdate, &form.Firsttime, &form.Lastdate, &form.Lasttime})
            QCOMPARE(edit->text(), edit->name());
        QVERIFY(form.Datastored.text().isEmpty()); // no recording mode before a header
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
        QCOMPARE(form.Chart1->footerLines(), (QStringList{"Units=F  Storage Rate=15sec", ""}));
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
                 (QStringList{"Units=F  Storage Rate=15sec", "  Location=Lab 4", ""}));
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

    // The line break that editors put at the end of the file is no part of
    // the format; a format of none of the eight checks no item.
    void dateFormatFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("checked");
        QTest::newRow("as the program writes it")
            << QByteArray("dd/mm/yyyy hh:mm:ss") << "dd/mm/yyyy hh:mm:ss"
            << "dd/mm/yyyy hh:mm:ss";
        QTest::newRow("ended by CR LF")
            << QByteArray("yyyy/mm/dd hh:mm:ss\r\n") << "yyyy/mm/dd hh:mm:ss"
            << "yyyy/mm/dd hh:mm:ss";
        QTest::newRow("ended by LF")
            << QByteArray("mm/dd/yyyy, hh:mm:ss AM/PM\n") << "mm/dd/yyyy, hh:mm:ss AM/PM"
            << "mm/dd/yyyy, hh:mm:ss AM/PM";
        QTest::newRow("foreign") << QByteArray("yy.mm.dd hh:mm\r\n") << "yy.mm.dd hh:mm"
                                 << "mm/dd/yyyy hh:mm:ss"; // the one before
    }
    void dateFormatFile() {
        QFETCH(QByteArray, file);
        QFETCH(QString, format);
        QFETCH(QString, checked);
        AppFixture app;
        app.writeFile("DATEFMT.DAT", file);
        TForm1& form = app.start();
        QCOMPARE(form.DATEFORMAT.text(), format);
        QCOMPARE(checkedDateFormat(form), checked);
        QCOMPARE(form.Chart1->dateTimeFormat(), format);
    }

    void storedPortIsTakenOver() {
        AppFixture app;
        app.writeFile("COMPORT.DAT", "COM7:115200");
        TForm1& form = app.start();
        QCOMPARE(form.COMPORT.text(), QString("COM7:115200"));
    }

    // The setting passes through COM1 on its way to the stored one, but only
    // the port start-up ends with is opened: a missing COM1 costs no message
    // when another port is stored.
    void startUpOpensOnlyTheFinalPort_data() {
        QTest::addColumn<QByteArray>("stored"); // COMPORT.DAT, empty for none
        QTest::addColumn<bool>("com1Works");
        QTest::addColumn<bool>("com3Works");
        QTest::addColumn<QStringList>("settings"); // every value COMPORT took
        QTest::addColumn<int>("messages");
        QTest::addColumn<bool>("uploadEnabled");
        QTest::newRow("no file, COM1 works")
            << QByteArray() << true << false << QStringList{"COM1"} << 0 << true;
        QTest::newRow("no file, COM1 missing")
            << QByteArray() << false << false << QStringList{"COM1"} << 1 << false;
        QTest::newRow("COM3 stored, COM1 missing")
            << QByteArray("COM3") << false << true << QStringList{"COM1", "COM3"} << 0 << true;
        QTest::newRow("COM3 stored, both missing")
            << QByteArray("COM3") << false << false << QStringList{"COM1", "COM3"} << 1 << false;
        QTest::newRow("COM1 stored, missing")
            << QByteArray("COM1") << false << false << QStringList{"COM1"} << 1 << false;
        QTest::newRow("NA stored, COM1 missing")
            << QByteArray("NA") << false << false << QStringList{"COM1", "NA"} << 0 << true;
    }
    void startUpOpensOnlyTheFinalPort() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, com1Works);
        QFETCH(bool, com3Works);
        QFETCH(QStringList, settings);
        QFETCH(int, messages);
        QFETCH(bool, uploadEnabled);
        AppFixture app;
        const QString idle = QFile::symLinkTarget(app.path("COM1"));
        const QString missing = app.path("no-such-device");
        app.linkPort(1, com1Works ? idle : missing);
        app.linkPort(3, com3Works ? idle : missing);
        if (!stored.isEmpty())
            app.writeFile("COMPORT.DAT", stored);
        QStringList seen;
        TForm1& form = app.startWatched([&](TForm1& f) {
            QObject::connect(&f.COMPORT, &StateControl::valueChanged,
                             [&] { seen << f.COMPORT.text(); });
        });
        QCOMPARE(seen, settings);
        QCOMPARE(app.dialogs.messages().size(), messages);
        QCOMPARE(form.UploadData->isEnabled(), uploadEnabled);
        QCOMPARE(form.COMM->text(), "Serial Port (" + settings.last() + ")");
    }

    // Exactly one channel is selected whatever the user clicks or presses.
    void channelSelection_data() {
        QTest::addColumn<QString>("steps"); // "1c": click "Channel 1", "2s": Space on "Channel 2"
        QTest::addColumn<QString>("selected");
        QTest::newRow("click the checked one") << "1c"
                                               << "1";
        QTest::newRow("space on the checked one") << "1s"
                                                  << "1";
        QTest::newRow("click the other") << "2c"
                                         << "2";
        QTest::newRow("space on the other") << "2s"
                                            << "2";
        QTest::newRow("other, then it again") << "2c 2c"
                                              << "2";
        QTest::newRow("other, then space on it") << "2c 2s"
                                                 << "2";
        QTest::newRow("there and back") << "2c 1c"
                                        << "1";
        QTest::newRow("there and back by keys") << "2s 1s"
                                                << "1";
        QTest::newRow("back, then the checked one") << "2c 1s 1c 1s"
                                                    << "1";
    }
    void channelSelection() {
        QFETCH(QString, steps);
        QFETCH(QString, selected);
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const QString& step : steps.split(' ')) {
            QRadioButton* button = step[0] == '1' ? form.RadioButton1 : form.RadioButton2;
            if (step[1] == 'c') {
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                button->setFocus();
                QTest::keyClick(button, Qt::Key_Space);
            }
            QVERIFY2(form.RadioButton1->isChecked() != form.RadioButton2->isChecked(),
                     qPrintable(step));
        }
        QCOMPARE(QString(form.channel1Selected() ? "1" : "2"), selected);
    }

    // The indicator and the caption tell of a verified duplicate only while
    // its data are shown.
    void secureDataGoesWithTheData_data() {
        QTest::addColumn<QString>("then");
        QTest::newRow("New/Clear") << "clear";
        QTest::newRow("an upload") << "upload";
    }
    void secureDataGoesWithTheData() {
        QFETCH(QString, then);
        AppFixture app;
        QFile fixture(qEnvironmentVariable("BRENVALE_SOURCE_DIR") +
                      "/tests/data/files/dup_mdy_rh.bvx");
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        app.writeFile("june.bvx", fixture.readAll());
        TForm1& form = app.start(app.path("june.bvx"));
        QVERIFY(form.SecureData->isVisibleTo(&form) && form.LockImage->isVisibleTo(&form));
        QVERIFY(form.windowTitle().endsWith("june.bvx"));
        if (then == "clear")
            form.NewClear1->trigger();
        else
            form.UploadData->click(); // nobody answers on COM1; the store is emptied first
        QVERIFY(!form.SecureData->isVisibleTo(&form));
        QVERIFY(!form.LockImage->isVisibleTo(&form));
        QCOMPARE(form.windowTitle(), form.store.BaseCaption);
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

    // The window system's own show (a workspace switch) keeps what was typed;
    // the program's show refills the edits from the stored values.
    void verificationKeepsTypingAcrossASpontaneousShow() {
        AppFixture app;
        app.writeFile("USERINFO.DAT", "~User Name: Ann\r\n~User Location: Lab\r\n~BV ID: 7\r\n"
                                      "~PC Software Version: x\r\n");
        TForm1& form = app.start();
        TForm5 dialog(form);
        dialog.show();
        QCOMPARE(dialog.UserInfo->text(), QString("Ann"));
        dialog.UserInfo->setText("Ann Lee");
        QShowEvent spontaneous;
        QSpontaneKeyEvent::setSpontaneous(&spontaneous);
        static_cast<QObject&>(dialog).event(&spontaneous); // as the window system delivers it
        QCOMPARE(dialog.UserInfo->text(), QString("Ann Lee"));
        dialog.hide();
        dialog.show();
        QCOMPARE(dialog.UserInfo->text(), QString("Ann"));
    }

    // Any character survives USERINFO.DAT; a file of an older version,
    // written in Latin-1, still reads.
    void userInformationKeepsEveryCharacter() {
        AppFixture app;
        const QString name = QString::fromUtf8("Łukasz Żółw 東京 Zoë");
        {
            TForm1& form = app.start();
            TForm4 dialog(form);
            dialog.show();
            dialog.UserInfo->setText(name);
            dialog.Button1->click();
            QVERIFY(app.readFile("USERINFO.DAT").contains(name.toUtf8()));
        }
        QCOMPARE(app.start().store.UserName, name);
        app.writeFile("USERINFO.DAT", "~User Name: Zo\xeb\r\n~User Location: M\xfcnchen\r\n"
                                      "~BV ID: \r\n~PC Software Version: x\r\n");
        TForm1& older = app.start();
        QCOMPARE(older.store.UserName, QString::fromUtf8("Zoë"));
        QCOMPARE(older.store.UserLocation, QString::fromUtf8("München"));
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
#include "test_tform1.moc"
