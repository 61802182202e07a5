// The simulated logger that the link tests talk to: which samples a block
// request returns, the packet layouts, escaping, fast-rate commands, faults;
// and the COMn link of the served logger, which goes when it ends.
#include "bvsim/pty_logger.h"
#include "bvsim/simulated_logger.h"
#include "link/reader_framing.h"
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <memory>

using bvsim::LoggerConfig;
using bvsim::SimulatedLogger;

namespace {

QByteArray feed(SimulatedLogger& logger, const QByteArray& bytes) {
    QByteArray out;
    for (const char b : bytes)
        out += logger.receive(b);
    return out;
}

// The newer reply without "+" and escapes: records, checksum, zero field, CR LF.
QByteArray newerBody(const QByteArray& reply) {
    bool pending = false;
    return bvlink::unescape(reply.mid(1), pending);
}

// The temperature words of a newer temperature-only reply.
QList<int> words(const QByteArray& body) {
    QList<int> out;
    for (qsizetype i = 0; i + 1 < body.size() - 2 - 2 - 1; i += 2)
        out << ((quint8(body[i]) << 8) | quint8(body[i + 1]));
    return out;
}

QByteArray request(int channel, const QString& start, int count) {
    return QString("%1%2%3")
        .arg(channel, 3, 10, QChar('0'))
        .arg(start)
        .arg(count, 6, 10, QChar('0'))
        .toLatin1();
}

} // namespace

class SimulatedLoggerTest : public QObject {
    Q_OBJECT
  private slots:
    void blocksFollowOnWithoutSkipOrRepeat();
    void retryGetsTheSameBlock();
    void packetLayoutAndChecksum();
    void escapesTheEscapeByte();
    void eventsAndMissingReadings();
    void olderBlockExchange();
    void fastRateCommands();
    void faults();
    void aColdRoomOverADay();
    void linkGoesWithTheLogger();
    void linkGoesWhenTheProgramEnds_data();
    void linkGoesWhenTheProgramEnds();
};

void SimulatedLoggerTest::blocksFollowOnWithoutSkipOrRepeat() {
    LoggerConfig config;
    config.channels[0].count = 40;
    config.channels[0].storedPerHour = 1800; // 2 s: a second of drift a block would soon skip
    SimulatedLogger logger(config);
    feed(logger, "?");
    QList<int> all;
    // Blocks of 4 from 00:00:00; each later request one second after the block's end.
    int startSecond = 0;
    for (int block = 0; block < 10; ++block) {
        const QString start =
            QString("120126%1").arg(QTime(0, 0).addSecs(startSecond).toString("HHmmss"));
        all += words(newerBody(feed(logger, request(1, start, 4))));
        startSecond += 4 * 2 + 1;
    }
    QCOMPARE(all.size(), 40);
    for (int i = 0; i < 40; ++i)
        QCOMPARE(all[i],
                 int(quint16(qint16(std::lround(SimulatedLogger::temperatureAt(i, 1800) * 100)))));
}

void SimulatedLoggerTest::retryGetsTheSameBlock() {
    SimulatedLogger logger({});
    feed(logger, "?");
    const QByteArray first = feed(logger, request(1, "120126000100", 3)); // sample 4 onwards
    QCOMPARE(feed(logger, request(1, "120126000100", 3)), first);
    QCOMPARE(words(newerBody(first)).value(0),
             int(quint16(std::lround(SimulatedLogger::temperatureAt(4) * 100))));
}

void SimulatedLoggerTest::packetLayoutAndChecksum() {
    LoggerConfig config;
    config.channels[1].rh = true;
    SimulatedLogger logger(config);
    const QByteArray body = newerBody(feed(logger, request(2, "120126000000", 2)));
    QCOMPARE(body.size(), 2 * 3 + 1 + 3 + 2);
    quint8 sum = 0;
    for (int i = 0; i < 6; ++i)
        sum += quint8(body[i]);
    QCOMPARE(quint8(body[6]), sum);
    QCOMPARE(body.mid(7), QByteArray("\0\0\0\r\n", 5));
    QCOMPARE(int(quint8(body[2])), SimulatedLogger::humidityAt(0));
}

void SimulatedLoggerTest::escapesTheEscapeByte() {
    LoggerConfig config;
    config.channels[0].count = 5760;
    SimulatedLogger logger(config);
    // A block from the first sample whose word holds a 0x5C byte.
    int first = 0;
    for (;; ++first) {
        QVERIFY(first < config.channels[0].count);
        const auto word = quint16(qint16(std::lround(SimulatedLogger::temperatureAt(first) * 100)));
        if ((word >> 8) == 0x5C || (word & 0xFF) == 0x5C)
            break;
    }
    const int count = std::min(100, config.channels[0].count - first);
    const QString start = "120126" + QTime(0, 0).addSecs(first * 15).toString("HHmmss");
    const QByteArray reply = feed(logger, request(1, start, count));
    QCOMPARE(reply[0], '+');
    const QByteArray body = newerBody(reply);
    // Without escapes the reader would drop the 0x5C bytes.
    QVERIFY(body.contains('\\'));
    QCOMPARE(body.size(), count * 2 + 1 + 2 + 2);
}

void SimulatedLoggerTest::eventsAndMissingReadings() {
    LoggerConfig config;
    config.channels[0].noReading = {1};
    config.channels[0].events = {{2, 0xfffe}, {2, 0xfff8}, {9, 0xfffa}};
    SimulatedLogger logger(config);
    const QList<int> w = words(newerBody(feed(logger, request(1, "120126000000", 4))));
    QCOMPARE(w.size(), 6);
    QCOMPARE(w[1], 0xffff);
    QCOMPARE(w[2], 0xfffe);
    QCOMPARE(w[3], 0xfff8);
}

void SimulatedLoggerTest::olderBlockExchange() {
    LoggerConfig config;
    config.format = 1;
    SimulatedLogger logger(config);
    const QByteArray header = feed(logger, "?");
    QCOMPARE(header.count('\n'), 26);
    QCOMPARE(header.left(4), QByteArray("V1\r\n"));
    QCOMPARE(feed(logger, "2"), QByteArray("2+"));
    const QByteArray rest = "120126000000000002";
    const QByteArray reply = feed(logger, rest);
    QCOMPARE(reply.left(18), rest); // echoed: the host sees 20 bytes before the records
    QCOMPARE(reply.size(), 18 + 2 * 4 + 2 + 4 + 2);
    QVERIFY(reply.endsWith("0000\r\n"));
    config.rhModel = true;
    SimulatedLogger rh(config);
    QCOMPARE(feed(rh, "?").count('\n'), 38);
}

void SimulatedLoggerTest::fastRateCommands() {
    LoggerConfig config;
    SimulatedLogger logger(config);
    QCOMPARE(feed(logger, "B057600T05"), QByteArray("b"));
    QCOMPARE(logger.baudRate(), 57600);
    QCOMPARE(feed(logger, "S"), QByteArray());
    QCOMPARE(feed(logger, "BD00000000"), QByteArray());
    QCOMPARE(logger.baudRate(), 19200);
    config.faults.wrongFastReply = true;
    SimulatedLogger wrong(config);
    QCOMPARE(feed(wrong, "B115200T05"), QByteArray("c"));
    QCOMPARE(wrong.baudRate(), 19200);
}

void SimulatedLoggerTest::faults() {
    LoggerConfig config;
    config.faults.badChecksumBlock = 2;
    SimulatedLogger once(config);
    const QByteArray good = newerBody(feed(once, request(1, "120126000000", 2)));
    const QByteArray bad = newerBody(feed(once, request(1, "120126000000", 2)));
    QCOMPARE(quint8(bad[4]), quint8(good[4] + 1));
    QCOMPARE(newerBody(feed(once, request(1, "120126000000", 2))), good);

    config.faults = {};
    config.faults.silenceAfter = 5;
    SimulatedLogger silent(config);
    QCOMPARE(feed(silent, "?"), QByteArray("001\r\n"));
    QCOMPARE(feed(silent, "?"), QByteArray());

    config.faults = {};
    config.faults.headerNeverCompletes = true;
    SimulatedLogger endless(config);
    QVERIFY(!feed(endless, "?").endsWith("IIR filter 0% last output\r\n"));
}

// The data look like a cold room: a small daily swing around 3 degrees, the
// door open at 14:00 taking it above the 8 degree alarm level for a while,
// back down within two hours; the humidity high and steady.
void SimulatedLoggerTest::aColdRoomOverADay() {
    for (int perHour : {240, 60}) {
        auto at = [perHour](double hour) { return static_cast<int>(hour * perHour); };
        double low = 100, high = -100, rhLow = 100, rhHigh = 0;
        for (int i = 0; i < at(48); ++i) {
            const double t = SimulatedLogger::temperatureAt(i, perHour);
            const int rh = SimulatedLogger::humidityAt(i, perHour);
            const double hour = std::fmod(static_cast<double>(i) / perHour, 24);
            if (hour < 14 || hour >= 16)
                QVERIFY2(t > 1.5 && t < 4.5, qPrintable(QString("%1 at %2").arg(t).arg(hour)));
            if (hour >= 14.15 && hour <= 14.4)
                QVERIFY2(t > 8, qPrintable(QString("%1 at %2").arg(t).arg(hour)));
            low = std::min(low, t);
            high = std::max(high, t);
            rhLow = std::min<double>(rhLow, rh);
            rhHigh = std::max<double>(rhHigh, rh);
        }
        QVERIFY(high < 11);
        QVERIFY(rhLow >= 55 && rhHigh <= 80);
        // A slow swing: neighbouring samples differ by a little noise only,
        // away from the door.
        QVERIFY(std::abs(SimulatedLogger::temperatureAt(at(3) + 1, perHour) -
                         SimulatedLogger::temperatureAt(at(3), perHour)) < 0.25);
    }
}

// A link that a later logger has taken over stays for that one.
void SimulatedLoggerTest::linkGoesWithTheLogger() {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM7");
    {
        bvsim::PtyLogger logger(LoggerConfig{});
        QVERIFY(logger.start(link));
        QCOMPARE(QFile::symLinkTarget(link), logger.devicePath());
    }
    QVERIFY(!QFileInfo(link).isSymLink());

    auto first = std::make_unique<bvsim::PtyLogger>(LoggerConfig{});
    QVERIFY(first->start(link));
    bvsim::PtyLogger second(LoggerConfig{});
    QVERIFY(second.start(link));
    first.reset();
    QCOMPARE(QFile::symLinkTarget(link), second.devicePath());
}

// The bvsim program removes its link on every ordinary ending.
void SimulatedLoggerTest::linkGoesWhenTheProgramEnds_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT (Ctrl+C)") << int(SIGINT);
    QTest::newRow("SIGHUP (terminal closed)") << int(SIGHUP);
}
void SimulatedLoggerTest::linkGoesWhenTheProgramEnds() {
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString link = dir.filePath("COM7");
    QProcess bvsim;
    bvsim.start(qEnvironmentVariable("BRENVALE_BINARY_DIR") + "/bvsim", {"--link", link});
    QVERIFY(bvsim.waitForStarted() && bvsim.waitForReadyRead(10000));
    const QString device = QString::fromLocal8Bit(bvsim.readLine()).trimmed();
    QCOMPARE(QFile::symLinkTarget(link), device);
    ::kill(static_cast<pid_t>(bvsim.processId()), signal);
    QVERIFY(bvsim.waitForFinished(10000));
    QCOMPARE(bvsim.exitStatus(), QProcess::NormalExit);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(SimulatedLoggerTest)
#include "test_simulated_logger.moc"
