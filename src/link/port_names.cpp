#include "link/port_names.h"
#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <limits>

namespace bvlink {
namespace {

bool isBlank(QChar c) {
    return c == ' ' || c == '\t';
}

// The number that "COM%d" scans: blanks, an optional sign, decimal digits.
bool scanPortNumber(const QString& setting, long long& number) {
    if (!setting.startsWith("COM"))
        return false;
    int i = 3;
    while (i < setting.size() && setting[i].isSpace())
        ++i;
    bool negative = false;
    if (i < setting.size() && (setting[i] == '+' || setting[i] == '-'))
        negative = setting[i++] == '-';
    const int digitsStart = i;
    long long value = 0;
    for (; i < setting.size() && setting[i].isDigit() && setting[i].unicode() < 128; ++i)
        value = std::min<long long>(value * 10 + (setting[i].unicode() - '0'),
                                    std::numeric_limits<int>::max());
    if (i == digitsStart)
        return false;
    number = negative ? -value : value;
    return true;
}

} // namespace

QString portNameOf(const QString& setting) {
    long long number = 0;
    if (setting == "NA" || !scanPortNumber(setting, number))
        return "NA";
    return "COM" + QString::number(number);
}

QString fastBaudRateOf(const QString& setting) {
    if (setting == "NA")
        return QString();
    const int colon = setting.indexOf(':');
    if (colon < 0 || colon == setting.size() - 1)
        return QString();
    int i = colon + 1;
    while (i < setting.size() && isBlank(setting[i]))
        ++i;
    const int start = i;
    while (i < setting.size() && setting[i] >= '0' && setting[i] <= '9')
        ++i;
    return setting.mid(start, i - start);
}

QString resolveDevice(const QString& portName, const QString& settingsFolder) {
    if (portName == "NA")
        return QString();
    const int number = portName.mid(3).toInt();
    if (number < 1)
        return QString();
    const QString local = QDir(settingsFolder).filePath(portName);
    if (QFileInfo::exists(local) || QFileInfo(local).isSymLink())
        return local;
    return QString("/dev/ttyS%1").arg(number - 1);
}

QString openFailureReason(const OpenError& error) {
    switch (error.reason) {
    case OpenError::Missing:
        return "The device does not exist (is the adapter plugged in?).";
    case OpenError::PermissionDenied:
        return "Permission denied: your user must be a member of the dialout\n"
               "group (sudo adduser $USER dialout, then log in again).";
    case OpenError::InUse:
        return "It is in use by another program.";
    case OpenError::Console:
        return "It is the system console, which is never used as a port.";
    case OpenError::NotATerminal:
        return "It is not a serial port.";
    default:
        return QString::fromLocal8Bit(std::strerror(error.systemError)) + ".";
    }
}

QString cannotOpenText(const QString& portName, const QString& device, const OpenError& error) {
    QString tried = portName;
    QString reason;
    if (device.isEmpty()) {
        reason = "The port setting names no port.";
    } else {
        const QFileInfo info(device);
        tried += info.isSymLink() ? " (" + device + " -> " + info.symLinkTarget() + ")"
                                  : " (" + device + ")";
        reason = openFailureReason(error);
    }
    return "Cannot open serial port: " + tried + ".\n" + reason +
           "\nA different port may be selected\nfrom the Setup menu.";
}

} // namespace bvlink
