// The adapters and COMn links found on a fake /dev, /sys and /proc, and the
// links made for them.
#include "fake_devices.h"
#include "link/serial_adapters.h"
#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

using bvlink::Adapter;
using bvlink::OpenError;

namespace {

const FakeDevices::Usb kFtdiA{.node = "ttyUSB0",
                              .byId = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                              .manufacturer = "FTDI",
                              .product = "FT232R USB UART",
                              .serial = "A1B2C3"};
const FakeDevices::Usb kFtdiB{.node = "ttyUSB1",
                              .byId = "usb-FTDI_FT232R_USB_UART_D4E5F6-if00-port0",
                              .manufacturer = "FTDI",
                              .product = "FT232R USB UART",
                              .serial = "D4E5F6"};
const FakeDevices::Usb kAcm{.node = "ttyACM0",
                            .byId = "usb-Brenvale_BV_Logger_0042-if00",
                            .manufacturer = "Brenvale",
                            .product = "BV Logger",
                            .serial = "0042",
                            .driver = "cdc_acm"};

QStringList stableNames(const std::vector<Adapter>& adapters) {
    QStringList names;
    for (const Adapter& a : adapters)
        names << a.stableName;
    return names;
}

QString byId(const FakeDevices::Usb& usb) {
    return "/dev/serial/by-id/" + usb.byId;
}

} // namespace

class TestSerialAdapters : public QObject {
    Q_OBJECT
  private slots:
    void usbAdaptersByStableName() {
        FakeDevices devices;
        devices.addUsb(kFtdiB);
        devices.addUsb(kAcm);
        devices.addUsb(kFtdiA);
        devices.linkCom(3, devices.host(byId(kFtdiA)));
        const auto survey = bvlink::surveyPorts(devices.tree(), devices.settings());
        // Each adapter once, under its by-id name, although its node is in /dev too.
        QCOMPARE(stableNames(survey.adapters),
                 QStringList({byId(kAcm), byId(kFtdiA), byId(kFtdiB)}));
        const Adapter& acm = survey.adapters[0];
        QCOMPARE(acm.node, "/dev/ttyACM0");
        QCOMPARE(bvlink::describe(acm), "Brenvale BV Logger, serial 0042");
        QCOMPARE(acm.state, OpenError::None);
        QCOMPARE(acm.linkedPort, QString());
        const Adapter& ftdi = survey.adapters[1];
        QCOMPARE(ftdi.node, "/dev/ttyUSB0");
        QCOMPARE(bvlink::describe(ftdi), "FTDI FT232R USB UART, serial A1B2C3");
        QCOMPARE(ftdi.linkedPort, "COM3");
        QCOMPARE(survey.links.size(), 1u);
        QCOMPARE(survey.links[0].state, OpenError::None);
    }

    void linkThroughTheNodeIsMatchedToo() {
        FakeDevices devices;
        devices.addUsb(kFtdiA);
        devices.linkCom(2, devices.host("/dev/ttyUSB0"));
        const auto survey = bvlink::surveyPorts(devices.tree(), devices.settings());
        QCOMPARE(survey.adapters.at(0).linkedPort, "COM2");
    }

    void uartsOnlyWithHardware() {
        FakeDevices devices;
        devices.addUart("ttyS1", 4);
        devices.addUart("ttyS10", 4);
        devices.addUart("ttyS2", 4);
        devices.addUart("ttyS3", 0);         // no UART behind it
        devices.addUart("ttyS4", 4, false);  // no driver
        devices.addUsb({.node = "ttyUSB5"}); // no by-id link, no strings
        const auto survey = bvlink::surveyPorts(devices.tree(), devices.settings());
        QCOMPARE(stableNames(survey.adapters),
                 QStringList({"/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB5"}));
        QCOMPARE(bvlink::describe(survey.adapters[0]), "ttyS1");
    }

    void consoleNeverOffered() {
        FakeDevices devices;
        devices.addUart("ttyS0", 4);
        devices.addUart("ttyS1", 4);
        devices.addUsb({.node = "ttyUSB0", .byId = "usb-console-port0"});
        devices.setConsoleActive("tty0 ttyUSB0");
        devices.linkCom(1, devices.host("/dev/ttyS0"));
        devices.linkCom(2, devices.host("/dev/serial/by-id/usb-console-port0"));
        const auto tree = devices.tree();
        const auto survey = bvlink::surveyPorts(tree, devices.settings());
        QCOMPARE(stableNames(survey.adapters), QStringList({"/dev/ttyS1"}));
        QCOMPARE(survey.links.size(), 2u);
        QCOMPARE(survey.links[0].state, OpenError::Console);
        QCOMPARE(survey.links[1].state, OpenError::Console);
        QVERIFY(bvlink::isConsoleName(tree, "ttyS0"));
        QVERIFY(!bvlink::isConsoleName(tree, "ttyS1"));
    }

    void vanishedDeviceStaysListed() {
        FakeDevices devices;
        devices.addUsb(kFtdiA);
        devices.linkCom(4, devices.host(byId(kFtdiA)));
        devices.removeNode("ttyUSB0");
        const auto survey = bvlink::surveyPorts(devices.tree(), devices.settings());
        QCOMPARE(survey.adapters.size(), 1u);
        const Adapter& gone = survey.adapters[0];
        QCOMPARE(gone.node, QString());
        QCOMPARE(gone.state, OpenError::Missing);
        QCOMPARE(bvlink::describe(gone), kFtdiA.byId);
        // The link still names it, although it leads nowhere now.
        QCOMPARE(gone.linkedPort, "COM4");
        QCOMPARE(survey.links.at(0).state, OpenError::Missing);
    }

    void noPermission() {
        FakeDevices devices;
        devices.addUsb(kFtdiA);
        devices.addUsb(kFtdiB);
        devices.chmodNode("ttyUSB1", 0600); // owner only, as a user outside dialout sees it
        devices.linkCom(1, devices.host(byId(kFtdiB)));
        const auto survey = bvlink::surveyPorts(devices.tree(), devices.settings());
        QCOMPARE(survey.adapters.at(0).state, OpenError::None);
        QCOMPARE(survey.adapters.at(1).state, OpenError::PermissionDenied);
        QCOMPARE(survey.links.at(0).state, OpenError::PermissionDenied);
    }

    void permissionBits_data() {
        QTest::addColumn<uid_t>("uid");
        QTest::addColumn<gid_t>("group");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("allowed");
        // The file belongs to user 100; the user is in groups 5 and 20.
        QTest::newRow("owner rw") << uid_t(100) << gid_t(20) << 0600 << true;
        QTest::newRow("owner read only") << uid_t(100) << gid_t(20) << 0466 << false;
        QTest::newRow("group rw") << uid_t(7) << gid_t(20) << 0060 << true;
        QTest::newRow("group read only") << uid_t(7) << gid_t(20) << 0646 << false;
        QTest::newRow("group member, others rw") << uid_t(7) << gid_t(20) << 0006 << false;
        QTest::newRow("others rw") << uid_t(7) << gid_t(30) << 0006 << true;
        QTest::newRow("others none") << uid_t(7) << gid_t(30) << 0660 << false;
        QTest::newRow("root") << uid_t(0) << gid_t(30) << 0000 << true;
    }
    void permissionBits() {
        QFETCH(uid_t, uid);
        QFETCH(gid_t, group);
        QFETCH(int, mode);
        QFETCH(bool, allowed);
        const bvlink::Identity user{.uid = uid, .groups = {5, 20}};
        QCOMPARE(bvlink::mayReadWrite(user, 100, group, static_cast<mode_t>(mode)), allowed);
    }

    void heldByAnotherProgram() {
        FakeDevices devices;
        devices.addUsb(kFtdiA);
        devices.addUsb(kFtdiB);
        devices.addUsb(kAcm);
        devices.holdOpen(4321, "/dev/ttyUSB1");
        devices.holdOpen(1, "/dev/ttyACM0"); // this program itself
        const auto survey = bvlink::surveyPorts(devices.tree(), devices.settings());
        QCOMPARE(survey.adapters.at(0).state, OpenError::None); // ACM
        QCOMPARE(survey.adapters.at(1).state, OpenError::None);
        QCOMPARE(survey.adapters.at(2).state, OpenError::InUse);
    }

    void comEntries() {
        FakeDevices devices;
        devices.addUsb(kFtdiA);
        devices.linkCom(12, devices.host(byId(kFtdiA)));
        devices.linkCom(2, "/nowhere/ttyUSB9");
        QFile com3(devices.settings() + "/COM3");
        QVERIFY(com3.open(QIODevice::WriteOnly));
        com3.close();
        QFile(devices.settings() + "/COMPORT.DAT").open(QIODevice::WriteOnly);
        const auto links = bvlink::surveyPorts(devices.tree(), devices.settings()).links;
        QCOMPARE(links.size(), 3u);
        QCOMPARE(links[0].number, 2);
        QCOMPARE(links[0].target, "/nowhere/ttyUSB9");
        QCOMPARE(links[0].state, OpenError::Missing);
        QCOMPARE(links[1].number, 3);
        QVERIFY(!links[1].isLink);
        QCOMPARE(links[2].number, 12);
        QCOMPARE(links[2].state, OpenError::None);
    }

    void linkReplacesAnOldLink() {
        FakeDevices devices;
        devices.linkCom(3, "/dev/old");
        const auto outcome = bvlink::linkComPort(devices.settings(), 3, "/dev/serial/by-id/new");
        QCOMPARE(outcome.kind, bvlink::LinkOutcome::Linked);
        QCOMPARE(QFile::symLinkTarget(devices.settings() + "/COM3"), "/dev/serial/by-id/new");
        // Nothing of the temporary name is left.
        QCOMPARE(
            QDir(devices.settings())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList({"COM3"}));
        QCOMPARE(bvlink::linkComPort(devices.settings(), 4, "/dev/ttyUSB0").kind,
                 bvlink::LinkOutcome::Linked);
        QVERIFY(QFileInfo(devices.settings() + "/COM4").isSymLink());
    }

    void nonLinkIsNeverTouched() {
        FakeDevices devices;
        QFile com3(devices.settings() + "/COM3");
        QVERIFY(com3.open(QIODevice::WriteOnly));
        com3.write("keep");
        com3.close();
        const auto outcome = bvlink::linkComPort(devices.settings(), 3, "/dev/ttyUSB0");
        QCOMPARE(outcome.kind, bvlink::LinkOutcome::NotALink);
        QVERIFY(bvlink::linkFailureText(outcome).contains("is not a link"));
        QVERIFY(com3.open(QIODevice::ReadOnly));
        QCOMPARE(com3.readAll(), "keep");
    }

    void linkInAFolderThatCannotTakeIt() {
        const auto outcome = bvlink::linkComPort("/nonexistent-folder", 3, "/dev/ttyUSB0");
        QCOMPARE(outcome.kind, bvlink::LinkOutcome::Failed);
        QVERIFY(bvlink::linkFailureText(outcome).startsWith("Cannot make the link "));
    }

    void adapterNamedAnyWay_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("found");
        QTest::newRow("by-id path") << byId(kFtdiA) << byId(kFtdiA);
        QTest::newRow("by-id name") << kFtdiA.byId << byId(kFtdiA);
        QTest::newRow("node path") << "/dev/ttyUSB0" << byId(kFtdiA);
        QTest::newRow("node name") << "ttyUSB0" << byId(kFtdiA);
        QTest::newRow("bare node") << "ttyS1"
                                   << "/dev/ttyS1";
        QTest::newRow("unknown") << "ttyUSB7" << QString();
        QTest::newRow("console") << "ttyS0" << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void adapterNamedAnyWay() {
        QFETCH(QString, name);
        QFETCH(QString, found);
        FakeDevices devices;
        devices.addUsb(kFtdiA);
        devices.addUart("ttyS0", 4);
        devices.addUart("ttyS1", 4);
        const auto adapters = bvlink::surveyPorts(devices.tree(), devices.settings()).adapters;
        const Adapter* adapter = bvlink::findAdapter(adapters, name);
        QCOMPARE(adapter ? adapter->stableName : QString(), found);
    }

    void portForAdapter() {
        const std::vector<bvlink::ComLink> links = {{.number = 1}, {.number = 2}, {.number = 4}};
        const Adapter linked{.linkedPort = "COM4"};
        QCOMPARE(bvlink::portForAdapter(7, linked, links), 7);
        QCOMPARE(bvlink::portForAdapter(0, linked, links), 4);
        QCOMPARE(bvlink::portForAdapter(0, Adapter{}, links), 3);
        std::vector<bvlink::ComLink> all;
        for (int n = 1; n <= 255; ++n)
            all.push_back({.number = n});
        QCOMPARE(bvlink::portForAdapter(0, Adapter{}, all), 0);
    }

    void comNumbers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("COM1") << "COM1" << 1;
        QTest::newRow("COM255") << "COM255" << 255;
        QTest::newRow("COM256") << "COM256" << 0;
        QTest::newRow("COM0") << "COM0" << 0;
        QTest::newRow("leading zero") << "COM03" << 0;
        QTest::newRow("lower case") << "com3" << 0;
        QTest::newRow("suffix") << "COM3:115200" << 0;
        QTest::newRow("temporary") << ".COM3.12.new" << 0;
    }
    void comNumbers() {
        QFETCH(QString, name);
        QFETCH(int, number);
        QCOMPARE(bvlink::comNumber(name), number);
    }
};

QTEST_GUILESS_MAIN(TestSerialAdapters)
#include "test_serial_adapters.moc"
