// The reader thread against a simulated logger on a pseudo-terminal: header
// reception, the watchdog, retries, the clock test, and closing the port in
// the situations where a naive reader deadlocks or reads a closed device.
#include "link/serial_port.h"
#include "link/tread.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "sim_fixture.h"
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

namespace {

bvsim::LoggerConfig newerLogger(bool rh, bool present1 = true) {
    bvsim::LoggerConfig config;
    config.channels[0].rh = config.channels[1].rh = rh;
    config.channels[0].present = present1;
    return config;
}

// Lets the reader block in a hand-over that the main thread has not run yet.
void letReaderBlockInHandover() {
    QThread::msleep(300);
}

} // namespace

class ReaderThreadTest : public QObject {
    Q_OBJECT
  private slots:
    void headerIsReceivedAndCompleted_data();
    void headerIsReceivedAndCompleted();
    void headerThatNeverCompletesTimesOut();
    void lonelyFirstByteIsDropped();
    void watchdogReportsSilence();
    void dataReadEndsWhenTheLineFallsQuiet();
    void retriesThreeTimesThenCancels();
    void clockTestSchedulesNextDownload();
    void closeWhileReaderHandsOver();
    void closeFromInsideOwnCallback();
    void destroyWhileReaderHandsOver();
    void repeatedOpenAndCloseUnderTraffic();
    void unpluggedAdapterDoesNotSpin();
    void errorInCallbackEndsThatCallbackOnly();
    void garbageInEveryPhase_data();
    void garbageInEveryPhase();
};

void ReaderThreadTest::headerIsReceivedAndCompleted_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("rh");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("status");
    QTest::newRow("newer, temperature")
        << 2 << false << true << "HEADER LOADED (VERSION 2)...PLEASE WAIT...";
    QTest::newRow("newer, RH") << 2 << true << true << "HEADER LOADED (VERSION 2)...PLEASE WAIT...";
    QTest::newRow("newer, channel 1 no data")
        << 2 << false << false << "HEADER LOADED (VERSION 2)...PLEASE WAIT...";
    QTest::newRow("older, 26 lines")
        << 1 << false << true << "HEADER LOADED (TEMPERATURE MODEL)...PLEASE WAIT...";
    QTest::newRow("older, 38 lines")
        << 1 << true << true << "HEADER LOADED (RH+TEMPERATURE MODEL)...PLEASE WAIT...";
}

void ReaderThreadTest::headerIsReceivedAndCompleted() {
    QFETCH(int, format);
    QFETCH(bool, rh);
    QFETCH(bool, present);
    QFETCH(QString, status);
    bvsim::LoggerConfig config = newerLogger(rh && format == 2, present);
    config.format = format;
    config.rhModel = rh && format == 1;
    ReaderFixture f(config);
    int completions = 0;
    f.Memo2.setHandler([&] { completions += f.Headerloaded.checked() ? 1 : 0; });
    f.Startloadingheader.setChecked(true);
    QVERIFY(f.open());
    f.send("?");
    QTRY_VERIFY(f.Headerloaded.checked());
    QCOMPARE(f.Edit1.text(), status);
    QCOMPARE(f.HeaderFormat.load(), format);
    QCOMPARE(f.RHBV.checked(), rh);
    const QString header = QString::fromLatin1(bvsim::SimulatedLogger(config).header());
    QCOMPARE(f.Memo2.text(), header + "\r\n");
    QCOMPARE(completions, 1);
}

void ReaderThreadTest::headerThatNeverCompletesTimesOut() {
    bvsim::LoggerConfig config;
    config.faults.headerNeverCompletes = true;
    ReaderFixture f(config);
    f.Startloadingheader.setChecked(true);
    QVERIFY(f.open());
    f.send("?");
    QTRY_COMPARE(f.Memo2.text(), QString::fromLatin1(bvsim::SimulatedLogger(config).header()));
    f.clock.advanceSeconds(21);
    QTRY_COMPARE(f.Edit1.text(), QString("SERIAL COMMUNICATION TIMED OUT."));
    QVERIFY(!f.Headerloaded.checked());
}

void ReaderThreadTest::lonelyFirstByteIsDropped() {
    bvsim::LoggerConfig config;
    config.faults.silenceAfter = 1; // "0" and then nothing
    ReaderFixture f(config);
    f.Startloadingheader.setChecked(true);
    QVERIFY(f.open());
    f.clock.advanceSeconds(1);
    const platform::DateTime before = f.Watchdog.value();
    f.send("?");
    // The header callback refreshes the watchdog, then waits five reads for a second byte.
    QTRY_VERIFY_WITH_TIMEOUT(f.Watchdog.value() != before, 10000);
    QTest::qWait(100);
    QCOMPARE(f.HeaderFormat.load(), -1);
    QVERIFY(f.Memo2.text().isEmpty());
}

void ReaderThreadTest::watchdogReportsSilence() {
    ReaderFixture f;
    f.Startloadingdata.setChecked(true);
    f.FastBaud.setChecked(true);
    f.uploadEnabled = false;
    QVERIFY(f.open());
    f.clock.advanceSeconds(19);
    QTest::qWait(1500);
    QVERIFY(f.Edit1.text().isEmpty());
    f.clock.advanceSeconds(2);
    QTRY_COMPARE(f.Edit1.text(), QString("SERIAL COMMUNICATION TIMED OUT."));
    QVERIFY(f.uploadEnabled);
    // At the fast rate the logger is told to stop.
    QTRY_COMPARE(f.logger->received(), QByteArray("S"));
    QVERIFY(!f.FastBaud.checked());
}

// The tail of a packet is handed over as soon as the line falls quiet, not
// when the read's second is up; a quiet line still holds each read for its
// second, so the loop keeps the clock's pace.
void ReaderThreadTest::dataReadEndsWhenTheLineFallsQuiet() {
    ReaderFixture f;
    f.HeaderFormat = 2;
    f.Startloadingdata.setChecked(true);
    QVERIFY(f.open());
    std::atomic<int>& timeouts = f.link.shared().DataReadTimeouts;
    f.logger->inject("\x2b\x01\x02");
    QTRY_COMPARE(f.Memo5.text(), QString("2B0102"));
    // The next read begins right after that hand-over: these bytes fall in it.
    const int before = timeouts;
    f.logger->inject("\x03\x04\x05");
    QTRY_COMPARE(f.Memo5.text(), QString("2B0102030405"));
    QCOMPARE(timeouts.load(), before);

    const quint64 loops = f.link.ReaderThread()->loopCount();
    QTRY_VERIFY_WITH_TIMEOUT(timeouts >= before + 2, 5000);
    QVERIFY2(f.link.ReaderThread()->loopCount() - loops <= 4,
             qPrintable(QString("%1 loops").arg(f.link.ReaderThread()->loopCount() - loops)));
}

void ReaderThreadTest::retriesThreeTimesThenCancels() {
    ReaderFixture f;
    QStringList statuses;
    f.Edit1.setHandler([&] { statuses << f.Edit1.text(); });
    f.onBlockRequest = [&] { f.Errorindata.setChecked(true); }; // every retry fails again
    f.uploadEnabled = false;
    f.Startloadingdata.setChecked(true);
    f.Errorindata.setChecked(true);
    QVERIFY(f.open());
    QTRY_VERIFY(statuses.contains("UPLOAD CANCELLED DUE TO CORRUPT DATA OR SERIAL PORT TIMEOUT."));
    QCOMPARE(f.blockRequests, 3);
    QCOMPARE(
        statuses.mid(0, 4),
        QStringList({"DATA ERROR - RETRY (1) IN PROCESS...", "DATA ERROR - RETRY (2) IN PROCESS...",
                     "DATA ERROR - RETRY (3) IN PROCESS...",
                     "UPLOAD CANCELLED DUE TO CORRUPT DATA OR SERIAL PORT TIMEOUT."}));
    QVERIFY(f.uploadEnabled);
    QVERIFY(f.WaitingForAck.checked());
}

void ReaderThreadTest::clockTestSchedulesNextDownload() {
    ReaderFixture f;
    f.NextAutoTime = f.clock.now() + 60 * platform::kSecond;
    f.AutoOffChecked = false;
    QVERIFY(f.open());
    QTest::qWait(1500);
    QCOMPARE(f.scheduleCalls, 0);
    f.clock.advanceSeconds(60);
    QTRY_VERIFY(f.scheduleCalls > 0);
    // An automatic download in progress holds the clock test.
    f.InitAutoload.setChecked(true);
    QTest::qWait(100);
    const int calls = f.scheduleCalls;
    QTest::qWait(1500);
    QCOMPARE(f.scheduleCalls, calls);
}

void ReaderThreadTest::closeWhileReaderHandsOver() {
    ReaderFixture f;
    QVERIFY(f.open());
    f.send("?"); // the header arrives as idle bytes
    QTRY_VERIFY(!f.logger->received().isEmpty());
    letReaderBlockInHandover();
    const QString before = f.Memo3.text();
    f.close(); // hangs when the close waits for a reader that waits for us
    QVERIFY(!f.link.isOpen());
    QCoreApplication::processEvents(); // the given-up hand-over must not run
    QCOMPARE(f.Memo3.text(), before);
}

void ReaderThreadTest::closeFromInsideOwnCallback() {
    ReaderFixture f;
    int reopens = 0;
    // As the fast-rate switch does: the data callback closes and reopens the port.
    f.Memo3.setHandler([&] {
        if (reopens < 5) {
            ++reopens;
            f.close();
            QVERIFY(f.open());
            f.send("?");
        }
    });
    QVERIFY(f.open());
    f.send("?");
    QTRY_COMPARE(reopens, 5);
    const int before = f.Memo3.text().size();
    f.send("?");
    QTRY_VERIFY(f.Memo3.text().size() > before); // the last reader reads on
    f.close();
}

void ReaderThreadTest::destroyWhileReaderHandsOver() {
    ReaderFixture f;
    QString before;
    {
        PortLink link(f.host);
        QVERIFY(link.open(f.logger->devicePath(), "19200,N,8,1"));
        link.sendByte('?');
        QTRY_VERIFY(!f.logger->received().isEmpty());
        letReaderBlockInHandover();
        before = f.Memo3.text();
    } // as when the program quits: hangs if the reader waits for the main thread
    QCoreApplication::processEvents();
    QCOMPARE(f.Memo3.text(), before);
}

void ReaderThreadTest::repeatedOpenAndCloseUnderTraffic() {
    bvsim::LoggerConfig config;
    config.channels[0].count = 3000;
    ReaderFixture f(config);
    f.Startloadingdata.setChecked(true);
    f.HeaderFormat = 2;
    QVERIFY(f.open());
    for (int i = 0; i < 20; ++i) {
        f.send("?");
        f.send("001120126000000003000"); // a long block keeps bytes flowing
        QTest::qWait(i % 3 * 20);
        f.close();
        QVERIFY(f.open());
    }
    f.close();
    QCoreApplication::processEvents();
    QVERIFY(!f.link.isOpen());
}

void ReaderThreadTest::unpluggedAdapterDoesNotSpin() {
    ReaderFixture f;
    QVERIFY(f.open());
    f.logger->unplug();
    QTest::qWait(200);
    const quint64 before = f.link.ReaderThread()->loopCount();
    QTest::qWait(3000);
    const quint64 loops = f.link.ReaderThread()->loopCount() - before;
    QVERIFY2(loops <= 6, qPrintable(QString("%1 loops in 3 s").arg(loops)));
    f.close();
}

// A platform error raised by the main window's handlers inside a callback is
// shown, reported once, and ends that callback only: the next chunk is handed
// over as usual.
void ReaderThreadTest::errorInCallbackEndsThatCallbackOnly() {
    platform::ScriptedDialogs dialogs;
    platform::setDialogs(&dialogs);
    ReaderFixture f;
    const QString error = "'0,5' is not a valid floating point value";
    int calls = 0;
    f.Memo3.setHandler([&] {
        if (++calls == 1)
            throw platform::ConversionError(error);
    });
    QVERIFY(f.open());
    f.logger->inject("abc");
    QTRY_COMPARE(f.callbackErrors, QStringList{error});
    QCOMPARE(dialogs.errors(), QStringList{error});
    QVERIFY(!f.link.ReaderThread()->inCallback());
    f.logger->inject("def");
    QTRY_COMPARE(f.Memo3.text(), QString("abcdef")); // read a byte at a time while idle
    QCOMPARE(f.callbackErrors.size(), 1);
    f.close();
    platform::setDialogs(nullptr);
}

void ReaderThreadTest::garbageInEveryPhase_data() {
    QTest::addColumn<QString>("phase");
    QTest::addColumn<int>("format");
    for (const char* phase : {"idle", "header", "data", "ack", "fast ack"})
        for (int format : {-1, 1, 2})
            QTest::newRow(qPrintable(QString("%1, format %2").arg(phase).arg(format)))
                << phase << format;
}

void ReaderThreadTest::garbageInEveryPhase() {
    QFETCH(QString, phase);
    QFETCH(int, format);
    ReaderFixture f;
    f.HeaderFormat = format;
    f.Startloadingheader.setChecked(phase == "header");
    f.Startloadingdata.setChecked(phase == "data" || phase == "ack");
    f.WaitingForAck.setChecked(phase == "ack");
    f.WaitOnFastAck.setChecked(phase == "fast ack");
    QVERIFY(f.open());
    QRandomGenerator random(format * 7 + int(qHash(phase)));
    QByteArray garbage(4000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random.bounded(256));
    garbage += QByteArray("\\\n\r\0\xff", 5).repeated(50);
    f.logger->inject(garbage);
    // Everything the reader takes in ends up in one of the memos.
    QTRY_VERIFY_WITH_TIMEOUT(
        f.Memo2.text().size() + f.Memo3.text().size() + f.Memo5.text().size() > 200, 10000);
    f.close();
}

QTEST_GUILESS_MAIN(ReaderThreadTest)
#include "test_tread.moc"
