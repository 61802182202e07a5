// The port setting and the main window's port handlers: names, fast rate,
// device paths, SetPort, the "Problem" message, the Select Port dialog, and
// quitting while the reader is busy.
#include "app_fixture.h"
#include "bvsim/pty_logger.h"
#include "link/port_dialog.h"
#include "link/port_names.h"
#include "link/serial_port.h"
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QThread>

namespace {

QString cannotOpen(const QString& tried, const QString& reason) {
    return "Cannot open serial port: " + tried + ".\n" + reason +
           "\nA different port may be selected\nfrom the Setup menu.";
}

} // namespace

class PortHandlersTest : public QObject {
    Q_OBJECT
  private slots:
    void portSetting_data();
    void portSetting();
    void portLinkInSettingsFolder();
    void setPortKeepsFastRateSuffix_data();
    void setPortKeepsFastRateSuffix();
    void settingThatIsNoPortShowsNA();
    void portInUseIsReported();
    void failureNamesDeviceAndReason_data();
    void failureNamesDeviceAndReason();
    void openFailureThroughTheWindow_data();
    void openFailureThroughTheWindow();
    void consoleIsRefusedUnopened();
    void applyWithNothingSelected();
    void applyKeepsSuffixAndRefreshesLabel();
    void quitWhileReaderHandsOver();
    void reopenFromInsideReaderCallback();
};

void PortHandlersTest::portSetting_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("fastRate");
    QTest::newRow("COM1") << "COM1"
                          << "COM1"
                          << "";
    QTest::newRow("COM12") << "COM12"
                           << "COM12"
                           << "";
    QTest::newRow("leading zero and rate") << "COM03:57600"
                                           << "COM3"
                                           << "57600";
    QTest::newRow("colon last") << "COM3:"
                                << "COM3"
                                << "";
    QTest::newRow("rate not digits") << "COM3:fast"
                                     << "COM3"
                                     << "";
    QTest::newRow("blank after colon") << "COM3: 115200"
                                       << "COM3"
                                       << "115200";
    QTest::newRow("digits then text") << "COM3:19200x"
                                      << "COM3"
                                      << "19200";
    QTest::newRow("NA") << "NA"
                        << "NA"
                        << "";
    QTest::newRow("not a port") << "xyz"
                                << "NA"
                                << "";
    QTest::newRow("no number") << "COM:57600"
                               << "NA"
                               << "57600";
    QTest::newRow("lower case") << "com3"
                                << "NA"
                                << "";
    QTest::newRow("huge number") << "COM99999999999"
                                 << "COM2147483647"
                                 << "";
    QTest::newRow("255") << "COM255:460800"
                         << "COM255"
                         << "460800";
}

void PortHandlersTest::portSetting() {
    QFETCH(QString, setting);
    QFETCH(QString, portName);
    QFETCH(QString, fastRate);
    QCOMPARE(bvlink::portNameOf(setting), portName);
    QCOMPARE(bvlink::fastBaudRateOf(setting), fastRate);
}

void PortHandlersTest::portLinkInSettingsFolder() {
    QCOMPARE(bvlink::resolveDevice("COM7", "/nowhere"), QString("/dev/ttyS6"));
    QCOMPARE(bvlink::resolveDevice("NA", "/nowhere"), QString());
    QCOMPARE(bvlink::resolveDevice("COM0", "/nowhere"), QString());
    AppFixture app;
    app.linkPort(7, "/dev/does-not-exist"); // a dangling link still names the device
    QCOMPARE(bvlink::resolveDevice("COM7", app.path("")), app.path("COM7"));
}

void PortHandlersTest::setPortKeepsFastRateSuffix_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("after");
    QTest::newRow("suffix survives") << "COM3:115200"
                                     << "COM5"
                                     << "COM5:115200";
    QTest::newRow("no suffix") << "COM3"
                               << "COM5"
                               << "COM5";
    QTest::newRow("from NA no suffix") << "NA"
                                       << "COM5"
                                       << "COM5";
    QTest::newRow("empty suffix") << "COM3:"
                                  << "COM5"
                                  << "COM5:";
}

void PortHandlersTest::setPortKeepsFastRateSuffix() {
    QFETCH(QString, before);
    QFETCH(QString, chosen);
    QFETCH(QString, after);
    AppFixture app;
    app.linkPort(3, "/dev/null");
    app.linkPort(5, "/dev/null");
    TForm1& form = app.start();
    form.COMPORT.setText(before);
    form.SetPort(chosen);
    QCOMPARE(form.COMPORT.text(), after);
    QCOMPARE(app.readFile("COMPORT.DAT"), after.toLatin1());
    QCOMPARE(form.COMM->text(), "Serial Port (" + bvlink::portNameOf(after) + ")");
}

void PortHandlersTest::settingThatIsNoPortShowsNA() {
    AppFixture app;
    TForm1& form = app.start();
    QVERIFY(app.dialogs.messages().isEmpty());
    QVERIFY(form.UploadData->isEnabled());
    form.COMPORT.setText("xyz");
    QCOMPARE(app.dialogs.messages(),
             QStringList{cannotOpen("NA", "The port setting names no port.")});
    QCOMPARE(app.dialogs.shown.back().caption, QString("Problem"));
    QVERIFY(!form.UploadData->isEnabled());
    QCOMPARE(form.COMM->text(), QString("Serial Port (NA)"));
    // "NA" itself opens nothing and says nothing.
    form.COMPORT.setText("NA");
    QCOMPARE(app.dialogs.messages().size(), 1);
    QCOMPARE(form.COMM->text(), QString("Serial Port (NA)"));
}

void PortHandlersTest::portInUseIsReported() {
    AppFixture app;
    bvsim::PtyLogger logger({});
    QVERIFY(logger.start(app.path("COM12")));
    app.linkPort(2, logger.devicePath());
    TForm1& form = app.start();
    form.COMPORT.setText("COM12");
    QVERIFY(app.dialogs.messages().isEmpty());
    QVERIFY(form.UploadData->isEnabled());
    // A second window cannot have the port the first one holds.
    TForm1 other;
    other.ThisAppDir.setText(app.path(""));
    other.COMPORT.setText("COM2");
    QCOMPARE(app.dialogs.messages(), QStringList{cannotOpen("COM2 (" + app.path("COM2") + " -> " +
                                                                logger.devicePath() + ")",
                                                            "It is in use by another program.")});
    QVERIFY(!other.UploadData->isEnabled());
}

void PortHandlersTest::failureNamesDeviceAndReason_data() {
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("systemError");
    QTest::addColumn<QString>("text");
    using E = bvlink::OpenError;
    QTest::newRow("missing") << int(E::Missing) << ENOENT
                             << "The device does not exist (is the adapter plugged in?).";
    QTest::newRow("permission") << int(E::PermissionDenied) << EACCES
                                << "Permission denied: your user must be a member of the dialout\n"
                                   "group (sudo adduser $USER dialout, then log in again).";
    QTest::newRow("in use") << int(E::InUse) << EBUSY << "It is in use by another program.";
    QTest::newRow("console") << int(E::Console) << 0
                             << "It is the system console, which is never used as a port.";
    QTest::newRow("not a terminal") << int(E::NotATerminal) << ENOTTY << "It is not a serial port.";
    QTest::newRow("other") << int(E::Other) << EIO << "Input/output error.";
}

// Without a link in the settings folder the system's device is named.
void PortHandlersTest::failureNamesDeviceAndReason() {
    QFETCH(int, reason);
    QFETCH(int, systemError);
    QFETCH(QString, text);
    const bvlink::OpenError error{bvlink::OpenError::Reason(reason), systemError};
    QCOMPARE(bvlink::cannotOpenText("COM3", "/dev/ttyS2", error),
             cannotOpen("COM3 (/dev/ttyS2)", text));
}

// Real opens that fail, as the user meets them: the link and its target named.
void PortHandlersTest::openFailureThroughTheWindow_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::newRow("adapter unplugged") << "/dev/brenvale-no-such-adapter"
                                       << "The device does not exist (is the adapter plugged in?).";
    QTest::newRow("not a serial device") << "/dev/null"
                                         << "It is not a serial port.";
}

void PortHandlersTest::openFailureThroughTheWindow() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    AppFixture app;
    app.linkPort(3, target);
    TForm1& form = app.start();
    QVERIFY(form.UploadData->isEnabled());
    form.COMPORT.setText("COM3");
    QCOMPARE(app.dialogs.messages(),
             QStringList{cannotOpen("COM3 (" + app.path("COM3") + " -> " + target + ")", reason)});
    QCOMPARE(app.dialogs.shown.back().caption, QString("Problem"));
    QVERIFY(!form.UploadData->isEnabled());
}

void PortHandlersTest::consoleIsRefusedUnopened() {
    // The test's own terminal, named as the console in a list of our own.
    AppFixture app;
    bvsim::PtyLogger logger({});
    QVERIFY(logger.start(app.path("COM4")));
    app.writeFile("console", logger.devicePath().mid(5).toLatin1() + "\n"); // "pts/N"
    QVERIFY(bvlink::SerialPort::isConsole(app.path("COM4"), app.path("console")));
    QVERIFY(!bvlink::SerialPort::isConsole(app.path("COM4"), app.path("missing")));
    app.writeFile("other", "tty1 pts/9999\n");
    QVERIFY(!bvlink::SerialPort::isConsole(app.path("COM4"), app.path("other")));
}

void PortHandlersTest::applyWithNothingSelected() {
    AppFixture app;
    TForm1& form = app.start();
    TForm6 dialog(form);
    form.setDialogs(nullptr, nullptr, nullptr, &dialog);
    form.COMMClick();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.PortListBox->count(), 255);
    QCOMPARE(dialog.PortListBox->item(254)->text(), QString("COM255"));
    QCOMPARE(dialog.Label1->text(), QString("COM1"));
    dialog.Apply->click();
    QCOMPARE(app.dialogs.messages(), QStringList{"Please select a port from the list"});
    QCOMPARE(form.COMPORT.text(), QString("COM1"));
    QVERIFY(dialog.isVisible());
    QVERIFY(!QFile::exists(app.path("COMPORT.DAT")));
}

void PortHandlersTest::applyKeepsSuffixAndRefreshesLabel() {
    AppFixture app;
    app.writeFile("COMPORT.DAT", "COM1:115200");
    app.linkPort(12, "/dev/null");
    TForm1& form = app.start();
    TForm6 dialog(form);
    QCOMPARE(dialog.Label1->text(), QString("COM1"));
    dialog.show();
    dialog.PortListBox->setCurrentRow(11);
    dialog.Cancel->click();
    QCOMPARE(form.COMPORT.text(), QString("COM1:115200"));
    dialog.show();
    dialog.PortListBox->setCurrentRow(11);
    dialog.Apply->click();
    QCOMPARE(form.COMPORT.text(), QString("COM12:115200"));
    QCOMPARE(dialog.Label1->text(), QString("COM12"));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(app.readFile("COMPORT.DAT"), QByteArray("COM12:115200"));
}

void PortHandlersTest::quitWhileReaderHandsOver() {
    auto app = std::make_unique<AppFixture>();
    bvsim::PtyLogger logger({});
    QVERIFY(logger.start(app->path("COM7")));
    app->writeFile("COMPORT.DAT", "COM7");
    TForm1& form = app->start();
    form.SendByte('?'); // the header comes back as idle bytes
    QTRY_VERIFY(!logger.received().isEmpty());
    QThread::msleep(300); // the reader now waits for the main thread
    app.reset();          // the window's destruction closes the port; hangs if it waits blindly
    QCoreApplication::processEvents();
}

void PortHandlersTest::reopenFromInsideReaderCallback() {
    int reopens = 0; // the window's destruction still runs the handler below
    AppFixture app;
    bvsim::PtyLogger logger({});
    QVERIFY(logger.start(app.path("COM7")));
    app.writeFile("COMPORT.DAT", "COM7");
    TForm1& form = app.start();
    form.Memo3.setHandler([&] {
        if (reopens++ < 3) {
            form.COMPORTChange(); // the port closed under the reader that called us
            form.SendByte('?');
        }
    });
    form.SendByte('?');
    QTRY_VERIFY(reopens > 3);
    QVERIFY(app.dialogs.messages().isEmpty());
}

QTEST_MAIN(PortHandlersTest)
#include "test_link_handlers.moc"
