// Uploads from a simulated logger that misbehaves: bad checksums, silence,
// a refused fast rate, a header that never completes, a corrupt header, and
// the user's abort. Each ends in its own status text and leaves the logger's
// line as the host found it.
#include "upload_rig.h"
#include <QPushButton>
#include <QTest>

namespace {

qsizetype headerSize(const bvsim::LoggerConfig& config) {
    return bvsim::SimulatedLogger(config).header().size();
}

// Lets time pass on the manual clock, a second for every turn of the event
// loop, until the upload ends.
bool letTimePassUntilEnd(UploadRig& rig) {
    return QTest::qWaitFor(
        [&] {
            rig.app.clock.advanceSeconds(1);
            return rig.ended();
        },
        30000);
}

} // namespace

class TestUploadFaults : public QObject {
    Q_OBJECT
  private slots:
    void badChecksumIsRepeatedAndRecovers_data();
    void badChecksumIsRepeatedAndRecovers();
    void retriesRunOutAndCancel();
    void silenceTimesOut_data();
    void silenceTimesOut();
    void headerThatNeverCompletesTimesOut_data();
    void headerThatNeverCompletesTimesOut();
    void corruptHeaderIsRefused();
    void refusedFastRateGoesOnAt19200();
    void abortLeavesTheFastRate_data();
    void abortLeavesTheFastRate();
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
    bvsim::LoggerConfig config = loggerConfig(2, false, 1601);
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
    bvsim::LoggerConfig config = loggerConfig(2, false, 101);
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

// The logger falls silent at some point of the exchange; 20 s later the
// upload ends, and a host at the fast rate sends "S".
void TestUploadFaults::silenceTimesOut_data() {
    const bvsim::LoggerConfig config = loggerConfig(2, false, 101);
    const qsizetype header = headerSize(config);
    const QByteArray request = "001120126000000000100";
    QTest::addColumn<QString>("comport");
    QTest::addColumn<qlonglong>("silenceAfter");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("no header") << "COM1" << 0LL << QByteArray("?");
    QTest::newRow("no fast-rate reply") << "COM1" << qlonglong(header) << QByteArray("?B057600T05");
    QTest::newRow("block stops at the fast rate")
        << "COM1" << qlonglong(header + 2 + 40) << "?B057600T05" + request + "S";
    QTest::newRow("block stops at 19200")
        << "COM1:19200" << qlonglong(header + 1 + 40) << "?" + request;
}

void TestUploadFaults::silenceTimesOut() {
    QFETCH(QString, comport);
    QFETCH(qlonglong, silenceAfter);
    QFETCH(QByteArray, sent);
    bvsim::LoggerConfig config = loggerConfig(2, false, 101);
    config.faults.silenceAfter = silenceAfter;
    UploadRig rig(config, comport);
    rig.form().UploadDataClick();
    // Everything the logger will send has arrived once the host's last byte
    // before the silence is out.
    const QByteArray lastBeforeSilence = sent.endsWith('S') ? sent.chopped(1) : sent;
    QVERIFY(QTest::qWaitFor([&] { return rig.sent() == lastBeforeSilence; }, 30000));
    QTest::qWait(200);
    QVERIFY(!rig.ended());
    QVERIFY(letTimePassUntilEnd(rig));
    QCOMPARE(rig.form().Edit1.text(), "SERIAL COMMUNICATION TIMED OUT.");
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    QVERIFY(!rig.form().FastBaud.checked());
    QVERIFY(rig.form().store.TempData.empty());
    QVERIFY(!rig.form().DataLoaded.checked());
}

void TestUploadFaults::headerThatNeverCompletesTimesOut_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("older") << 1;
    QTest::newRow("newer") << 2;
}

void TestUploadFaults::headerThatNeverCompletesTimesOut() {
    QFETCH(int, format);
    bvsim::LoggerConfig config = loggerConfig(format, false, 101);
    config.faults.headerNeverCompletes = true;
    UploadRig rig(config);
    rig.form().UploadDataClick();
    const QString all = QString::fromLatin1(bvsim::SimulatedLogger(config).header());
    QVERIFY(QTest::qWaitFor([&] { return rig.form().Memo2.text() == all; }, 30000));
    QVERIFY(letTimePassUntilEnd(rig));
    QCOMPARE(rig.form().Edit1.text(), "SERIAL COMMUNICATION TIMED OUT.");
    QVERIFY(!rig.form().Headerloaded.checked());
    QVERIFY(rig.statuses.filter("HEADER LOADED").isEmpty());
    QCOMPARE(rig.sent(), QByteArray("?"));
}

// "Model" arrives as "]odel".
void TestUploadFaults::corruptHeaderIsRefused() {
    bvsim::LoggerConfig config = loggerConfig(2, false, 101);
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
    bvsim::LoggerConfig config = loggerConfig(2, false, 101);
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
    bvsim::LoggerConfig config = loggerConfig(2, false, 101);
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

QTEST_MAIN(TestUploadFaults)
#include "test_upload_faults.moc"
