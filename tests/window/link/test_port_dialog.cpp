// "Select Port" beside the main window: the fixed COM list and Apply as they
// were, and the adapters of a fake device tree with "Use for COMn".
#include "app_fixture.h"
#include "fake_devices.h"
#include "link/port_dialog.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

const FakeDevices::Usb kFirst{.node = "ttyUSB0",
                              .byId = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                              .manufacturer = "FTDI",
                              .product = "FT232R USB UART",
                              .serial = "A1B2C3"};
const FakeDevices::Usb kSecond{.node = "ttyUSB1",
                               .byId = "usb-FTDI_FT232R_USB_UART_D4E5F6-if00-port0",
                               .manufacturer = "FTDI",
                               .product = "FT232R USB UART",
                               .serial = "D4E5F6"};

// A started main window, its port dialog on the fake tree, shown.
struct Rig {
    AppFixture app;
    FakeDevices devices;
    TForm1* form = nullptr;
    std::unique_ptr<TForm6> dialog;

    explicit Rig(const std::function<void(Rig&)>& stage = {}) {
        devices.addUsb(kFirst);
        devices.addUsb(kSecond);
        if (stage)
            stage(*this);
        form = &app.start();
        dialog = std::make_unique<TForm6>(*form);
        dialog->setDeviceTree(devices.tree());
        dialog->show();
    }
    QString byIdHost(const FakeDevices::Usb& usb) const {
        return devices.host("/dev/serial/by-id/" + usb.byId);
    }
    void chooseAdapter(int row) { dialog->AdapterList->topLevelItem(row)->setSelected(true); }
    void chooseCom(int n) { dialog->PortListBox->setCurrentRow(n - 1); }
    QString column(int row, int column) const {
        return dialog->AdapterList->topLevelItem(row)->text(column);
    }
};

} // namespace

class TestPortDialog : public QObject {
    Q_OBJECT
  private slots:
    void comListAndApplyUnchanged() {
        Rig rig;
        TForm6& dialog = *rig.dialog;
        QCOMPARE(dialog.windowTitle(), "Select Port");
        QCOMPARE(dialog.PortListBox->count(), 255);
        QCOMPARE(dialog.PortListBox->item(0)->text(), "COM1");
        QCOMPARE(dialog.PortListBox->item(254)->text(), "COM255");
        QCOMPARE(dialog.Label2->text(), "Current Port");
        QCOMPARE(dialog.Label1->text(), "COM1");
        QCOMPARE(dialog.Apply->text(), "Apply");
        QCOMPARE(dialog.Cancel->text(), "Cancel");
        // An adapter chosen as well does not make Apply link anything.
        rig.chooseAdapter(0);
        rig.chooseCom(4);
        dialog.Apply->click();
        QCOMPARE(rig.form->COMPORT.text(), "COM4");
        QCOMPARE(rig.app.readFile("COMPORT.DAT"), "COM4");
        QVERIFY(!QFileInfo(rig.app.path("COM4")).isSymLink());
        QVERIFY(!dialog.isVisible());
        dialog.show();
        dialog.PortListBox->clearSelection();
        dialog.Apply->click();
        QCOMPARE(rig.app.dialogs.messages().last(), "Please select a port from the list");
        QCOMPARE(rig.form->COMPORT.text(), "COM4");
    }

    void adapterRows() {
        Rig rig([](Rig& r) {
            r.devices.chmodNode("ttyUSB1", 0600);
            r.app.linkPort(2, r.byIdHost(kFirst));
        });
        QTreeWidget& list = *rig.dialog->AdapterList;
        QCOMPARE(list.topLevelItemCount(), 2);
        QCOMPARE(rig.column(0, 0), "FTDI FT232R USB UART, serial A1B2C3");
        QCOMPARE(rig.column(0, 1), "/dev/ttyUSB0");
        QCOMPARE(rig.column(0, 2), "COM2");
        QVERIFY(list.topLevelItem(0)->icon(0).isNull());
        // No permission: a warning sign, and the dialout hint of the port error.
        QVERIFY(!list.topLevelItem(1)->icon(0).isNull());
        QVERIFY(list.topLevelItem(1)->toolTip(0).contains("dialout"));
        QCOMPARE(rig.column(1, 2), QString());
    }

    void useForSelectedCom() {
        Rig rig;
        QVERIFY(!rig.dialog->UseForPort->isEnabled());
        rig.chooseAdapter(1);
        rig.chooseCom(5);
        QCOMPARE(rig.dialog->UseForPort->text(), "Use for COM5");
        rig.dialog->UseForPort->click();
        QCOMPARE(QFileInfo(rig.app.path("COM5")).symLinkTarget(), rig.byIdHost(kSecond));
        QCOMPARE(rig.form->COMPORT.text(), "COM5");
        QCOMPARE(rig.app.readFile("COMPORT.DAT"), "COM5");
        QCOMPARE(rig.dialog->Label1->text(), "COM5");
        QVERIFY(!rig.dialog->isVisible());
        rig.dialog->show();
        QCOMPARE(rig.column(1, 2), "COM5");
    }

    void useWithoutComSelected() {
        // COM1 is the fixture's own link; the first adapter has COM3.
        Rig rig([](Rig& r) { r.app.linkPort(3, r.byIdHost(kFirst)); });
        rig.chooseAdapter(0);
        QCOMPARE(rig.dialog->UseForPort->text(), "Use for COM3");
        rig.dialog->AdapterList->clearSelection();
        rig.chooseAdapter(1);
        QCOMPARE(rig.dialog->UseForPort->text(), "Use for COM2");
        rig.dialog->UseForPort->click();
        QCOMPARE(QFileInfo(rig.app.path("COM2")).symLinkTarget(), rig.byIdHost(kSecond));
        QCOMPARE(rig.form->COMPORT.text(), "COM2");
    }

    void relinkingTheCurrentPortReopensIt() {
        Rig rig([](Rig& r) {
            r.app.linkPort(2, r.byIdHost(kFirst));
            r.app.writeFile("COMPORT.DAT", "COM2:115200");
        });
        QCOMPARE(rig.form->COMPORT.text(), "COM2:115200");
        const QString before = rig.form->LastPortOpening.failure;
        rig.chooseAdapter(1);
        rig.chooseCom(2);
        rig.dialog->UseForPort->click();
        QCOMPARE(rig.form->COMPORT.text(), "COM2:115200");
        QCOMPARE(rig.app.readFile("COMPORT.DAT"), "COM2:115200");
        // The fake nodes are no terminals: the new open fails, naming the new adapter.
        QVERIFY2(rig.form->LastPortOpening.failure.contains(kSecond.byId),
                 qPrintable(rig.form->LastPortOpening.failure));
        QVERIFY(!before.contains(kSecond.byId));
    }

    void fileNamedLikeAPortIsLeftAlone() {
        Rig rig([](Rig& r) { r.app.writeFile("COM3", "notes"); });
        rig.chooseAdapter(0);
        rig.chooseCom(3);
        rig.dialog->UseForPort->click();
        QVERIFY(rig.app.dialogs.messages().last().contains("COM3 exists and is not a link"));
        QCOMPARE(rig.app.readFile("COM3"), "notes");
        QCOMPARE(rig.form->COMPORT.text(), "COM1");
        QVERIFY(rig.dialog->isVisible());
    }

    void refreshOnNewEntry() {
        Rig rig;
        QCOMPARE(rig.dialog->AdapterList->topLevelItemCount(), 2);
        rig.chooseAdapter(1);
        QElapsedTimer since;
        since.start();
        rig.devices.addUsb({.node = "ttyACM0",
                            .byId = "usb-Brenvale_BV_Logger_0042-if00",
                            .manufacturer = "Brenvale",
                            .product = "BV Logger",
                            .driver = "cdc_acm"});
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialog->AdapterList->topLevelItemCount(), 3, 10000);
        // Not before the second of quiet has passed.
        QVERIFY2(since.elapsed() >= 900, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(rig.column(0, 0), "Brenvale BV Logger");
        // The chosen adapter stays chosen.
        QVERIFY(rig.dialog->AdapterList->topLevelItem(2)->isSelected());
        rig.devices.removeNode("ttyUSB0");
        QTRY_COMPARE_WITH_TIMEOUT(rig.column(1, 1), "does not exist", 10000);
    }
};

QTEST_MAIN(TestPortDialog)
#include "test_port_dialog.moc"
