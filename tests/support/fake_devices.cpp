#include "fake_devices.h"
#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

FakeDevices::FakeDevices() {
    for (const char* dir : {"/dev", "/sys/class/tty", "/sys/bus/usb-serial/drivers",
                            "/sys/bus/platform/drivers", "/proc"})
        makeDir(dir);
    QDir().mkpath(settings());
}

void FakeDevices::makeDir(const QString& systemPath) const {
    QDir().mkpath(host(systemPath));
}

void FakeDevices::writeFile(const QString& systemPath, const QByteArray& bytes) const {
    QFile file(host(systemPath));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

void FakeDevices::makeLink(const QString& target, const QString& systemPath) const {
    QFile::remove(host(systemPath));
    ::symlink(QFile::encodeName(target).constData(),
              QFile::encodeName(host(systemPath)).constData());
}

void FakeDevices::addUsb(const Usb& usb) {
    // /sys/devices/.../usb1/1-N (the USB device with its strings)
    //   /1-N:1.0/<node> (the port, served by the driver) /tty/<node> (the class device)
    const QString device =
        QString("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(++m_usbCount);
    const QString port = device + QString("/1-%1:1.0/").arg(m_usbCount) + usb.node;
    makeDir(port + "/tty/" + usb.node);
    writeFile(device + "/idVendor", "0403\n");
    for (const auto& [name, value] : {std::pair{"manufacturer", usb.manufacturer},
                                      {"product", usb.product},
                                      {"serial", usb.serial}})
        if (!value.isEmpty())
            writeFile(device + "/" + name, value.toUtf8() + "\n");
    makeDir("/sys/bus/usb-serial/drivers/" + usb.driver);
    makeLink("../../../../../../../bus/usb-serial/drivers/" + usb.driver, port + "/driver");
    makeLink("../../../" + usb.node, port + "/tty/" + usb.node + "/device");
    makeLink("../.." + port.mid(4) + "/tty/" + usb.node, "/sys/class/tty/" + usb.node);
    writeFile("/dev/" + usb.node, {});
    chmodNode(usb.node, 0660);
    if (!usb.byId.isEmpty()) {
        makeDir("/dev/serial/by-id");
        makeLink("../../" + usb.node, "/dev/serial/by-id/" + usb.byId);
    }
}

void FakeDevices::addUart(const QString& node, int type, bool driver) {
    const QString device = "/sys/devices/platform/serial8250/" + node;
    makeDir(device);
    makeDir("/sys/class/tty/" + node);
    writeFile("/sys/class/tty/" + node + "/type", QByteArray::number(type) + "\n");
    makeLink("../../../devices/platform/serial8250/" + node, "/sys/class/tty/" + node + "/device");
    if (driver) {
        makeDir("/sys/bus/platform/drivers/serial8250");
        makeLink("../../../../bus/platform/drivers/serial8250", device + "/driver");
    }
    writeFile("/dev/" + node, {});
    chmodNode(node, 0660);
}

void FakeDevices::setConsoleActive(const QString& names) {
    makeDir("/sys/class/tty/console");
    writeFile("/sys/class/tty/console/active", names.toUtf8() + "\n");
}

void FakeDevices::holdOpen(int pid, const QString& systemPath) {
    const QString fd = QString("/proc/%1/fd").arg(pid);
    makeDir(fd);
    makeLink("/dev/null", fd + "/0");
    makeLink(systemPath, fd + "/3");
}

void FakeDevices::removeNode(const QString& node) {
    QFile::remove(host("/dev/" + node));
}

void FakeDevices::chmodNode(const QString& node, int mode) {
    ::chmod(QFile::encodeName(host("/dev/" + node)).constData(), static_cast<mode_t>(mode));
}

bvlink::DeviceTree FakeDevices::tree() const {
    return {
        .root = root(), .user = {.uid = 4242424, .groups = {4242424, ::getegid()}}, .ownPid = 1};
}

void FakeDevices::linkCom(int n, const QString& target) const {
    const QString link = settings() + QString("/COM%1").arg(n);
    QFile::remove(link);
    QFile::link(target, link);
}
