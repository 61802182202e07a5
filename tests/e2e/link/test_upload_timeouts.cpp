// Uploads that the logger leaves waiting: silence at each step of the
// exchange, and a header that never completes. The watchdog ends them 20 s
// after the last sign of life.
#include "upload_rig.h"
#include <QTest>

class TestUploadTimeouts : public QObject {
    Q_OBJECT
  private slots:
    void silenceTimesOut_data();
    void silenceTimesOut();
    void headerThatNeverCompletesTimesOut_data();
    void headerThatNeverCompletesTimesOut();
};

// The logger falls silent at some point of the exchange; 20 s later the
// upload ends, and a host at the fast rate sends "S".
void TestUploadTimeouts::silenceTimesOut_data() {
    const bvsim::LoggerConfig config = loggerConfig(2, false, 100);
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

void TestUploadTimeouts::silenceTimesOut() {
    QFETCH(QString, comport);
    QFETCH(qlonglong, silenceAfter);
    QFETCH(QByteArray, sent);
    bvsim::LoggerConfig config = loggerConfig(2, false, 100);
    config.faults.silenceAfter = silenceAfter;
    UploadRig rig(config, comport);
    rig.form().UploadDataClick();
    // Everything the logger will send has arrived once the host's last byte
    // before the silence is out.
    const QByteArray lastBeforeSilence = sent.endsWith('S') ? sent.chopped(1) : sent;
    QVERIFY(QTest::qWaitFor([&] { return rig.sent() == lastBeforeSilence; }, 30000));
    QTest::qWait(200);
    QVERIFY(!rig.ended());
    QVERIFY(rig.letTimePassUntilEnd());
    QCOMPARE(rig.form().Edit1.text(), "SERIAL COMMUNICATION TIMED OUT.");
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    QVERIFY(!rig.form().FastBaud.checked());
    QVERIFY(rig.form().store.TempData.empty());
    QVERIFY(!rig.form().DataLoaded.checked());
}

void TestUploadTimeouts::headerThatNeverCompletesTimesOut_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("older") << 1;
    QTest::newRow("newer") << 2;
}

void TestUploadTimeouts::headerThatNeverCompletesTimesOut() {
    QFETCH(int, format);
    bvsim::LoggerConfig config = loggerConfig(format, false, 100);
    config.faults.headerNeverCompletes = true;
    UploadRig rig(config);
    rig.form().UploadDataClick();
    const QString all = QString::fromLatin1(bvsim::SimulatedLogger(config).header());
    QVERIFY(QTest::qWaitFor([&] { return rig.form().Memo2.text() == all; }, 30000));
    QVERIFY(rig.letTimePassUntilEnd());
    QCOMPARE(rig.form().Edit1.text(), "SERIAL COMMUNICATION TIMED OUT.");
    QVERIFY(!rig.form().Headerloaded.checked());
    QVERIFY(rig.statuses.filter("HEADER LOADED").isEmpty());
    QCOMPARE(rig.sent(), QByteArray("?"));
}

QTEST_MAIN(TestUploadTimeouts)
#include "test_upload_timeouts.moc"
