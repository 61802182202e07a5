// Faults at the line level, on a pseudo-terminal: the logger vanishing in
// the middle of a block, a port that another program left with flow control
// on, a header that never completes, silence after the switch to the fast
// rate. Each ends as it should, the program idles meanwhile, and the port
// serves the next upload.
#include "upload_rig.h"
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <sys/resource.h>

namespace {

enum Fault { Vanishes, FlowControlLeftOn, HeaderNeverCompletes, SilentAfterFastSwitch };

// Whether this process still holds a descriptor of the terminal `device`.
bool holdsDevice(const QString& device) {
    const QDir fds("/proc/self/fd");
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFileInfo(fds.filePath(fd)).symLinkTarget();
        if (target == device || target == device + " (deleted)")
            return true;
    }
    return false;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

constexpr tcflag_t kFlowControl = IXON | IXOFF | IXANY;

} // namespace

class TestSerialFaults : public QObject {
    Q_OBJECT
  private slots:
    void faultEndsUploadAndPortServesAgain_data();
    void faultEndsUploadAndPortServesAgain();
};

void TestSerialFaults::faultEndsUploadAndPortServesAgain_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("status");
    QTest::newRow("logger vanishes mid-block")
        << int(Vanishes) << "SERIAL COMMUNICATION TIMED OUT.";
    QTest::newRow("flow control left on") << int(FlowControlLeftOn) << "DATA LOADED";
    QTest::newRow("header never completes")
        << int(HeaderNeverCompletes) << "SERIAL COMMUNICATION TIMED OUT.";
    QTest::newRow("silence after the fast-rate switch")
        << int(SilentAfterFastSwitch) << "SERIAL COMMUNICATION TIMED OUT.";
}

void TestSerialFaults::faultEndsUploadAndPortServesAgain() {
    QFETCH(int, fault);
    QFETCH(QString, status);
    const bvsim::LoggerConfig good = loggerConfig(2, false, 1600);
    bvsim::LoggerConfig config = good;
    const qsizetype header = headerSize(config);
    const QByteArray request = "001120126000000001500";
    if (fault == Vanishes)
        config.faults.silenceAfter = header + 1 + 1 + 300; // "b", "+", part of the block
    if (fault == HeaderNeverCompletes)
        config.faults.headerNeverCompletes = true;
    if (fault == SilentAfterFastSwitch)
        config.faults.silenceAfter = header + 1;
    UploadRig rig(config);
    TForm1& form = rig.form();

    termios leftBehind{};
    if (fault == FlowControlLeftOn) {
        // Another program used the port last: hardware and software flow
        // control on, the modem lines watched.
        form.ClosePort();
        leftBehind = rig.logger->lineSettings();
        leftBehind.c_cflag = (leftBehind.c_cflag | CRTSCTS) & ~CLOCAL;
        leftBehind.c_iflag |= kFlowControl;
        rig.logger->setLineSettings(leftBehind);
    }

    form.UploadDataClick();
    if (fault == Vanishes) {
        QVERIFY(rig.waitForSent("?B057600T05" + request));
        QTest::qWait(300);
        const QString device = rig.logger->devicePath();
        QVERIFY(holdsDevice(device));
        rig.logger->unplug();
        // The dead terminal is let go at once, so its name is free again.
        QTRY_VERIFY_WITH_TIMEOUT(!holdsDevice(device), 3000);
    }
    if (fault == FlowControlLeftOn) {
        QVERIFY(rig.waitForEnd());
    } else {
        QTest::qWait(300);
        QVERIFY(!rig.ended());
        QVERIFY(rig.letTimePassUntilEnd());
    }
    QCOMPARE(form.Edit1.text(), status);
    QVERIFY(form.UploadData->isEnabled());
    QVERIFY(!form.AbortUpload->isEnabled());
    QVERIFY(!form.FastBaud.checked());
    if (fault == SilentAfterFastSwitch) {
        rig.waitForSent("?B057600T05" + request + "S");
        QCOMPARE(rig.sent(), "?B057600T05" + request + "S");
    }
    if (fault == FlowControlLeftOn) {
        const termios ours = rig.logger->lineSettings();
        QCOMPARE(ours.c_cflag & (CRTSCTS | CLOCAL), tcflag_t(CLOCAL));
        QCOMPARE(ours.c_iflag & kFlowControl, tcflag_t(0));
        // What the other program left is what it finds again.
        form.ClosePort();
        const termios restored = rig.logger->lineSettings();
        QCOMPARE(restored.c_cflag, leftBehind.c_cflag);
        QCOMPARE(restored.c_iflag, leftBehind.c_iflag);
    }

    // Nothing spins while the line is dead or idle.
    const double before = cpuSeconds();
    QTest::qWait(2000);
    const double used = cpuSeconds() - before;
    QVERIFY2(used < 0.5, qPrintable(QString("%1 s of CPU in 2 s").arg(used)));

    // The adapter plugged in again (or the logger put right) serves the next upload.
    rig.replaceLogger(good);
    QVERIFY(rig.upload());
    const QString difference = storeDifference(form.store, good, 0, 0, 1600);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_MAIN(TestSerialFaults)
#include "test_serial_port_faults.moc"
