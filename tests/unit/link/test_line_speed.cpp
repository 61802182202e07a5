// Line speeds by number on a pseudo-terminal, read back by a second
// descriptor of the same terminal.
#include "link/line_speed.h"
#include <QTest>
#include <asm/termbits.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A pseudo-terminal's far end, opened twice.
struct Pty {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    int slave = -1;
    int watcher = -1;
    Pty() {
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
            slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
            watcher = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        }
    }
    ~Pty() {
        for (int fd : {watcher, slave, master})
            if (fd >= 0)
                ::close(fd);
    }
    // Both directions' speeds as the terminal holds them.
    std::pair<int, int> speeds() const {
        termios2 tio{};
        if (::ioctl(watcher, TCGETS2, &tio) != 0)
            return {-1, -1};
        return {static_cast<int>(tio.c_ispeed), static_cast<int>(tio.c_ospeed)};
    }
};

} // namespace

class TestLineSpeed : public QObject {
    Q_OBJECT
  private slots:
    // Rates of the fixed table and rates outside it alike.
    void setsBothDirections_data() {
        QTest::addColumn<int>("baud");
        for (int baud : {300, 9600, 14400, 19200, 56000, 115200, 256000})
            QTest::newRow(qPrintable(QString::number(baud))) << baud;
    }
    void setsBothDirections() {
        QFETCH(int, baud);
        Pty pty;
        QVERIFY(pty.slave >= 0 && pty.watcher >= 0);
        QVERIFY(bvlink::setLineSpeed(pty.slave, baud));
        QCOMPARE(pty.speeds(), std::make_pair(baud, baud));
        QCOMPARE(bvlink::lineSpeed(pty.slave), baud);
    }

    // A rate that is no rate leaves the terminal as it was.
    void refusesNoRate_data() {
        QTest::addColumn<int>("baud");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -19200;
    }
    void refusesNoRate() {
        QFETCH(int, baud);
        Pty pty;
        QVERIFY(bvlink::setLineSpeed(pty.slave, 56000));
        QVERIFY(!bvlink::setLineSpeed(pty.slave, baud));
        QCOMPARE(pty.speeds(), std::make_pair(56000, 56000));
    }

    // A descriptor that is not a terminal, or none at all, has no speed.
    void notATerminal() {
        int pipeEnds[2];
        QCOMPARE(::pipe(pipeEnds), 0);
        for (int fd : {pipeEnds[0], -1}) {
            QVERIFY(!bvlink::setLineSpeed(fd, 19200));
            QCOMPARE(bvlink::lineSpeed(fd), 0);
        }
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
    }
};

QTEST_GUILESS_MAIN(TestLineSpeed)
#include "test_line_speed.moc"
