// brenvale --list-ports and --link-port as a user runs them: the settings
// folder's COMn links (one served by the simulated logger, one leading
// nowhere) and the adapters of a fake device tree.
#include "app/command_line.h"
#include "built_programs.h"
#include "fake_devices.h"
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

const FakeDevices::Usb kFtdi{.node = "ttyUSB0",
                             .byId = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                             .manufacturer = "FTDI",
                             .product = "FT232R USB UART",
                             .serial = "A1B2C3"};

QStringList lines(const QString& text) {
    return text.split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestPortCommands : public QObject {
    Q_OBJECT
    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<FakeDevices> devices;

    ProgramRun run(const QStringList& arguments) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("BRENVALE_DEVICE_ROOT", devices->root());
        return runProgram(builtProgram("brenvale"), arguments, folder->dir.path(), environment);
    }
    QString byIdHost() const { return devices->host("/dev/serial/by-id/" + kFtdi.byId); }

  private slots:
    void initTestCase() {
        const QString missing = missingPrograms();
        QVERIFY2(missing.isEmpty(), qPrintable(missing + " missing: build the programs first"));
    }
    void init() {
        folder = std::make_unique<ProgramFolder>();
        devices = std::make_unique<FakeDevices>();
        devices->addUsb(kFtdi);
        devices->addUart("ttyS0", 4); // the console
    }
    void cleanup() {
        folder.reset();
        devices.reset();
    }

    void listsLinksThenAdapters() {
        QVERIFY(folder->startSimulator({"--format", "2"}, "COM1"));
        const QString pty = QFileInfo(folder->path("COM1")).symLinkTarget();
        QFile::link(folder->path("unplugged"), folder->path("COM2"));
        const ProgramRun r = run({"--list-ports"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(lines(r.out),
                 QStringList({"COM1 -> " + pty + ": ready",
                              "COM2 -> " + folder->path("unplugged") + ": does not exist",
                              "/dev/serial/by-id/" + kFtdi.byId +
                                  " (/dev/ttyUSB0): FTDI FT232R USB UART, serial A1B2C3, "
                                  "not linked"}));
        QCOMPARE(r.err, QString());
    }

    void linkPortThenList() {
        ProgramRun r = run({"--link-port", "COM3", "ttyUSB0"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.trimmed(), "COM3 -> " + byIdHost());
        QCOMPARE(QFileInfo(folder->path("COM3")).symLinkTarget(), byIdHost());
        // Again, by its by-id name: the old link is replaced.
        r = run({"--link-port", "COM3", kFtdi.byId});
        QCOMPARE(r.exitCode, 0);
        r = run({"--list-ports"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("COM3 -> " + byIdHost() + ": ready\n"), qPrintable(r.out));
        QVERIFY2(r.out.contains("serial A1B2C3, linked to COM3\n"), qPrintable(r.out));
    }

    void linkPortFailures_data() {
        QTest::addColumn<QString>("adapter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unknown adapter")
            << "ttyUSB9"
            << "No serial adapter ttyUSB9 on this computer (brenvale --list-ports lists them).";
        QTest::newRow("console")
            << "/dev/ttyS0"
            << "/dev/ttyS0 is the system console, which is never used as a port.";
        QTest::newRow("a file named COM5")
            << "ttyUSB0"
            << "COM5 exists and is not a link; it was left as it is.";
    }
    void linkPortFailures() {
        QFETCH(QString, adapter);
        QFETCH(QString, expected);
        QFile file(folder->path("COM5"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("mine");
        file.close();
        const ProgramRun r = run({"--link-port", "COM5", adapter});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(lastLine(r).endsWith(expected), qPrintable(r.err));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "mine");
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no adapter") << QStringList{"--link-port", "COM3"};
        QTest::newRow("port 0") << QStringList{"--link-port", "COM0", "ttyUSB0"};
        QTest::newRow("port 256") << QStringList{"--link-port", "COM256", "ttyUSB0"};
        QTest::newRow("not a port") << QStringList{"--link-port", "ttyUSB0", "COM3"};
        QTest::newRow("list with more") << QStringList{"--list-ports", "--headless"};
        QTest::newRow("both") << QStringList{"--list-ports", "--link-port", "COM3", "x"};
    }
    void badArguments() {
        QFETCH(QStringList, arguments);
        const ProgramRun r = run(arguments);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith("brenvale: ") && r.err.contains(app::usage()), qPrintable(r.err));
        QVERIFY(!QFileInfo(folder->path("COM3")).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestPortCommands)
#include "test_port_commands.moc"
