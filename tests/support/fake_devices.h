#pragma once
// A fake /dev, /sys and /proc in a temporary folder, laid out as the kernel
// and udev lay them out, and a settings folder beside it. The device nodes
// are plain files (mode 0660, the test's own group), so permissions and
// vanishing devices can be staged without hardware.
#include "link/serial_adapters.h"
#include <QString>
#include <QTemporaryDir>

class FakeDevices {
  public:
    FakeDevices();

    struct Usb {
        QString node{}; // "ttyUSB0"
        QString byId{}; // "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"; empty for none
        QString manufacturer{}, product{}, serial{};
        QString driver = "ftdi_sio";
    };
    void addUsb(const Usb& usb);
    // A ttyS with its sysfs type (0: no UART behind it) and, when `driver`, a driver.
    void addUart(const QString& node, int type, bool driver = true);
    void setConsoleActive(const QString& names);
    // Process `pid` keeps `systemPath` open.
    void holdOpen(int pid, const QString& systemPath);
    void removeNode(const QString& node);
    void chmodNode(const QString& node, int mode);

    // The tree as a user outside the owner but in the devices' group sees it.
    bvlink::DeviceTree tree() const;
    QString root() const { return m_dir.path() + "/root"; }
    QString settings() const { return m_dir.path() + "/settings"; }
    QString host(const QString& systemPath) const { return root() + systemPath; }
    void linkCom(int n, const QString& target) const;

  private:
    void makeDir(const QString& systemPath) const;
    void writeFile(const QString& systemPath, const QByteArray& bytes) const;
    void makeLink(const QString& target, const QString& systemPath) const;

    QTemporaryDir m_dir;
    int m_usbCount = 0;
};
