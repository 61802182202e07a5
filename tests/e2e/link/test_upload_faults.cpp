// Uploads from a simulated logger that misbehaves: bad checksums, a refused
// fast rate, a corrupt header, a channel without data, and the user's abort.
// Each ends in its own status text and leaves the logger's line as the host
// found it, ready for the next upload.
#include "platform/errors.h"
#include "upload_rig.h"
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class TestUploadFaults : public QObject {
    Q_OBJECT
  private slots:
    void badChecksumIsRepeatedAndRecovers_data();
    void badChecksumIsRepeatedAndRecovers();
    void retriesRunOutAndCancel();
    void corruptHeaderIsRefused();
    void refusedFastRateGoesOnAt19200();
    void abortLeavesTheFastRate_data();
    void abortLeavesTheFastRate();
    void uploadAfterAFailure_data();
    void uploadAfterAFailure();
    void channelWithoutDataIsRefused();
    void portThatCannotBeOpened_data();
    void portThatCannotBeOpened();
    void errorInReaderCallbackEndsUpload();
};

void TestUploadFaults::badChecksumIsRepeatedAndRecovers_data() {
    QTest::addColumn<int>("badBlock");
    QTest::addColumn<QByteArray>("sent");
    const QByteArray first = "001120126000000001500";
    const QByteArray second = "001120126061501000100";
    QTest::newRow("first block") << 1 << "?B057600T05" + first + first + second + "BD00000000";
    QTest::newRow("second block") << 2 << "?B057600T05" + first + second + second + "BD00000000";
}

void TestUploadFaults::badChecksumIsRepeatedAndRecovers() {
    QFETCH(int, badBlock);
    QFETCH(QByteArray, sent);
    bvsim::LoggerConfig config = loggerConfig(2, false, 1600);
    config.faults.badChecksumBlock = badBlock;
    UploadRig rig(config);
    QVERIFY(rig.upload());
    QVERIFY(rig.statuses.filter("BAD CHECKSUM (").size() == 1);
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    const QString difference = storeDifference(rig.form().store, config, 0, 0, 1600);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// The block fails at once and on three retries of the reader: the upload is
// cancelled with nothing stored.
void TestUploadFaults::retriesRunOutAndCancel() {
    bvsim::LoggerConfig config = loggerConfig(2, false, 100);
    config.faults.badChecksumBlock = 1;
    config.faults.badChecksumAlways = true;
    UploadRig rig(config);
    QVERIFY(!rig.upload());
    QCOMPARE(rig.form().Edit1.text(),
             "UPLOAD CANCELLED DUE TO CORRUPT DATA OR SERIAL PORT TIMEOUT.");
    for (const char* retry :
         {"DATA ERROR - RETRY (1) IN PROCESS...", "DATA ERROR - RETRY (2) IN PROCESS...",
          "DATA ERROR - RETRY (3) IN PROCESS..."})
        QVERIFY2(rig.statuses.contains(retry), retry);
    QVERIFY(!rig.statuses.contains("DATA ERROR - RETRY (4) IN PROCESS..."));
    const QByteArray sent = "?B057600T05" + QByteArray("001120126000000000100").repeated(5);
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    QVERIFY(rig.form().store.TempData.empty());
    QVERIFY(rig.form().Errorindata.checked());
    QVERIFY(!rig.form().DataLoaded.checked());
}

// "Model" arrives as "]odel".
void TestUploadFaults::corruptHeaderIsRefused() {
    bvsim::LoggerConfig config = loggerConfig(2, false, 100);
    config.faults.corruptByte = 5;
    UploadRig rig(config);
    QVERIFY(!rig.upload());
    QCOMPARE(rig.form().Edit1.text(), "ERROR IN HEADER DATA.  UPLOAD CANCELLED.");
    QVERIFY(rig.form().Errorindata.checked());
    QCOMPARE(rig.sent(), QByteArray("?"));
}

// A logger that answers the baud-switch command with anything but "b" stays
// at 19200, and so does the host: the block is asked for there at once.
void TestUploadFaults::refusedFastRateGoesOnAt19200() {
    bvsim::LoggerConfig config = loggerConfig(2, false, 100);
    config.faults.wrongFastReply = true;
    UploadRig rig(config);
    QVERIFY(rig.upload());
    const QByteArray sent = "?B057600T05001120126000000000100";
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    QVERIFY(!rig.form().FastBaud.checked());
    QCOMPARE(rig.logger->baudRate(), 19200);
    QCOMPARE(rig.form().store.TempData.size(), std::size_t(100));
}

// The user aborts a block that stopped halfway: at the fast rate the host
// tells the logger to go back to 19200 and reopens its port; at 19200 it
// sends nothing.
void TestUploadFaults::abortLeavesTheFastRate_data() {
    const QByteArray request = "001120126000000000100";
    QTest::addColumn<QString>("comport");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("fast rate") << "COM1"
                               << "?B057600T05" + request + "BD00000000";
    QTest::newRow("19200") << "COM1:19200"
                           << "?" + request;
}

void TestUploadFaults::abortLeavesTheFastRate() {
    QFETCH(QString, comport);
    QFETCH(QByteArray, sent);
    bvsim::LoggerConfig config = loggerConfig(2, false, 100);
    const bool fast = comport == "COM1";
    config.faults.silenceAfter = headerSize(config) + (fast ? 2 : 1) + 40;
    UploadRig rig(config, comport);
    rig.form().UploadDataClick();
    QVERIFY(QTest::qWaitFor([&] { return rig.sent().endsWith("000100"); }, 30000));
    QVERIFY(QTest::qWaitFor([&] { return rig.form().Memo5.text().size() >= 80; }, 30000));
    QCOMPARE(rig.logger->baudRate(), fast ? 57600 : 19200);
    QCOMPARE(rig.form().FastBaud.checked(), fast);

    rig.form().AbortUploadClick();
    QCOMPARE(rig.form().Edit1.text(), "UPLOAD ABORTED BY USER");
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    QCOMPARE(rig.logger->baudRate(), 19200);
    QVERIFY(!rig.form().FastBaud.checked());
    QVERIFY(!rig.form().Startloadingdata.checked());
    QVERIFY(rig.form().UploadData->isEnabled());
    QVERIFY(!rig.form().AbortUpload->isEnabled());
    QVERIFY(rig.form().store.TempData.empty());
    // Nothing more happens: no time-out replaces the abort.
    rig.app.clock.advanceSeconds(30);
    QTest::qWait(1500);
    QCOMPARE(rig.form().Edit1.text(), "UPLOAD ABORTED BY USER");
}

// A failed upload leaves nothing behind that spoils the next one, to a
// logger that behaves.
void TestUploadFaults::uploadAfterAFailure_data() {
    QTest::addColumn<QString>("failure");
    QTest::newRow("retries ran out") << "retries";
    QTest::newRow("timed out at the fast rate") << "silence";
    QTest::newRow("aborted at the fast rate") << "abort";
}

void TestUploadFaults::uploadAfterAFailure() {
    QFETCH(QString, failure);
    bvsim::LoggerConfig faulty = loggerConfig(2, false, 100);
    if (failure == "retries") {
        faulty.faults.badChecksumBlock = 1;
        faulty.faults.badChecksumAlways = true;
    } else {
        faulty.faults.silenceAfter = headerSize(faulty) + 2 + 40;
    }
    UploadRig rig(faulty);
    rig.form().UploadDataClick();
    if (failure == "abort") {
        QVERIFY(QTest::qWaitFor([&] { return rig.form().Memo5.text().size() >= 80; }, 30000));
        rig.form().AbortUploadClick();
    } else {
        QVERIFY(failure == "retries" ? rig.waitForEnd() : rig.letTimePassUntilEnd());
    }
    QVERIFY(!rig.form().DataLoaded.checked());

    const bvsim::LoggerConfig good = loggerConfig(2, true, 100);
    rig.replaceLogger(good);
    QVERIFY(rig.upload());
    const QByteArray sent = "?B057600T05001120126000000000100BD00000000";
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    const QString difference = storeDifference(rig.form().store, good, 0, 0, 100);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// Channel 1 of this logger holds nothing: its range is empty, and nothing is
// asked for.
void TestUploadFaults::channelWithoutDataIsRefused() {
    bvsim::LoggerConfig config = loggerConfig(2, false, 100);
    config.channels[0].present = false;
    UploadRig rig(config);
    QVERIFY(!rig.upload());
    QCOMPARE(rig.form().Edit1.text(), "UPLOAD CANCELLED. Invalid date/time range specified.");
    QVERIFY(rig.form().Errorindata.checked());
    QTest::qWait(200);
    QCOMPARE(rig.sent(), QByteArray("?"));
}

// No port, no reader, no watchdog: an upload that meets a port that is not
// open ends at once instead of waiting for ever. "Upload Data" waits for a
// port that opens; then the next upload runs.
void TestUploadFaults::portThatCannotBeOpened_data() {
    QTest::addColumn<QString>("when");
    QTest::addColumn<QString>("status");
    QTest::newRow("Upload Data") << "upload"
                                 << "UPLOAD CANCELLED. Cannot open serial port.";
    QTest::newRow("reopen at the fast rate") << "fast"
                                             << "UPLOAD CANCELLED. Cannot open serial port.";
    QTest::newRow("no port selected") << "NA"
                                      << "UPLOAD CANCELLED. No serial port selected.";
}

void TestUploadFaults::portThatCannotBeOpened() {
    QFETCH(QString, when);
    QFETCH(QString, status);
    const bvsim::LoggerConfig config = loggerConfig(2, false, 100);
    UploadRig rig(config);
    TForm1& form = rig.form();
    const QString missing = rig.app.path("no-such-adapter");
    if (when == "upload")
        rig.app.linkPort(1, missing); // the adapter unplugged while the program waited
    if (when == "fast")
        form.FastBaud.setHandler([&] {
            if (form.FastBaud.checked())
                rig.app.linkPort(1, missing);
        });
    if (when == "NA")
        form.COMPORT.setText("NA");

    form.UploadDataClick();
    if (when != "fast")
        QCOMPARE(form.Edit1.text(), status); // at once, not after a watchdog
    QVERIFY(rig.waitForEnd(10));
    QCOMPARE(form.Edit1.text(), status);
    QVERIFY(!form.UploadData->isEnabled());
    QVERIFY(!form.AbortUpload->isEnabled());
    QVERIFY(form.RadioButton1->isEnabled() && form.RadioButton2->isEnabled());
    for (const FlagControl* flag :
         {&form.Startloadingheader, &form.Headerloaded, &form.Startloadingdata,
          &form.Readyfornextblock, &form.WaitingForAck, &form.WaitOnFastAck, &form.FastBaud})
        QVERIFY2(!flag->checked(), qPrintable(flag->name()));
    QVERIFY(form.Errorindata.checked());
    const QStringList boxes = rig.app.dialogs.messages();
    QCOMPARE(boxes.isEmpty(), when == "NA");
    for (const QString& box : boxes)
        QVERIFY(box.startsWith("Cannot open serial port: COM1 (" + rig.app.path("COM1") + " -> " +
                               missing + ")."));
    // Nothing waits on: no time-out follows.
    rig.app.clock.advanceSeconds(30);
    QTest::qWait(1500);
    QCOMPARE(form.Edit1.text(), status);

    // The adapter is back; the user picks the port again.
    form.FastBaud.setHandler(nullptr);
    rig.app.linkPort(1, rig.logger->devicePath());
    form.SetPort("COM1");
    QVERIFY(form.UploadData->isEnabled());
    QVERIFY(rig.upload());
    const QString difference = storeDifference(form.store, config, 0, 0, 100);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// A platform error inside the data decoder, which runs in a callback of the
// reader: the error box, then the upload ends with the error's text, leaving
// the fast rate, and the next upload runs.
void TestUploadFaults::errorInReaderCallbackEndsUpload() {
    const bvsim::LoggerConfig config = loggerConfig(2, false, 1600);
    // Before the rig: the window's last clear at its end still runs the handler.
    const QString error = "'0,5' is not a valid floating point value";
    bool thrown = false;
    UploadRig rig(config);
    TForm1& form = rig.form();
    form.Memo5.setHandler([&] {
        if (!thrown && form.Memo5.text().size() > 200) {
            thrown = true;
            throw platform::ConversionError(error);
        }
        form.Memo5Change();
    });
    QVERIFY(!rig.upload());
    QCOMPARE(form.Edit1.text(), "UPLOAD CANCELLED DUE TO AN ERROR: " + error);
    QCOMPARE(rig.app.dialogs.errors(), QStringList{error});
    QVERIFY(form.Errorindata.checked());
    QVERIFY(!form.Startloadingdata.checked());
    QVERIFY(!form.FastBaud.checked());
    QVERIFY(form.UploadData->isEnabled());
    const QByteArray sent = "?B057600T05001120126000000001500BD00000000";
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    QCOMPARE(rig.logger->baudRate(), 19200);

    rig.replaceLogger(config);
    QVERIFY(rig.upload());
    const QString difference = storeDifference(form.store, config, 0, 0, 1600);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_MAIN(TestUploadFaults)
#include "test_upload_faults.moc"
