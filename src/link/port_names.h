#pragma once
// The port setting text ("COM3", "COM3:115200", "NA") and what it names: the
// port, the fast rate, the device path shown to the user and the device that
// path stands for on this system, and what to tell the user when it does
// not open.
#include "link/serial_port.h"
#include <QString>

namespace bvlink {

// "COM" followed by the number scanned after "COM" ("COM03:57600" gives
// "COM3"); "NA" when the setting is "NA" or does not begin with "COM" and a
// number.
QString portNameOf(const QString& setting);

// The digits after the first ":" (blanks skipped), or the empty text.
QString fastBaudRateOf(const QString& setting);

// The device that a port name stands for: the link <settingsFolder>/COMn when
// it exists (pointed at /dev/ttyUSB0, a pseudo-terminal, ...), otherwise
// /dev/ttyS<n-1>. Empty for "NA" and port numbers below 1.
QString resolveDevice(const QString& portName, const QString& settingsFolder);

// Why a device did not open, as the user reads it (the dialout hint for a
// permission denied).
QString openFailureReason(const OpenError& error);

// The "Cannot open serial port" message: what was tried (the port, and the
// link in the settings folder with its target, or the system's device) and
// why it failed. `device` is what resolveDevice() gave.
QString cannotOpenText(const QString& portName, const QString& device, const OpenError& error);

} // namespace bvlink
