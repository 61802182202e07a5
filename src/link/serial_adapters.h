#pragma once
// The serial adapters of this computer and the COMn links of the settings
// folder, found by looking at /dev, /sys and /proc only: no device is opened
// to find out, so looking never disturbs a logger or another program's line.
#include "link/serial_port.h"
#include <QString>
#include <QStringList>
#include <sys/types.h>
#include <vector>

namespace bvlink {

// Who asks: permission is worked out from the device's owner, group and mode.
struct Identity {
    uid_t uid = 0;
    std::vector<gid_t> groups{}; // the primary group and the supplementary ones
    static Identity ofProcess();
};

// The door to the file system: every system path ("/dev/ttyUSB0",
// "/sys/class/tty/...", "/proc/...") is looked up under `root`, empty for
// this machine's own tree. A root is for tests and demonstrations, which
// build a fake /dev and /sys in a folder of their own.
struct DeviceTree {
    QString root{};
    Identity user = Identity::ofProcess();
    int ownPid = 0; // this process: its own open port is not "another program"

    // The tree of this machine, or the one under $BRENVALE_DEVICE_ROOT
    // (tests and demonstrations only).
    static DeviceTree system();
    QString hostPath(const QString& systemPath) const { return root + systemPath; }
    // The system path of a host path under the root; other paths as they are.
    QString systemPath(const QString& hostPath) const;
};

struct Adapter {
    QString stableName{}; // the /dev/serial/by-id link, or the node when it has none
    QString node{};       // the device node it names now; empty when it has vanished
    QString manufacturer{}, product{}, serial{}; // from sysfs, when the device has them
    OpenError::Reason state = OpenError::None;   // None: the user can open it
    QString linkedPort{};                        // "COM3" when a COMn link points at it
};

// A COMn entry of the settings folder.
struct ComLink {
    int number = 0;
    bool isLink = true;
    QString target{}; // as the link says
    OpenError::Reason state = OpenError::None;
};

struct PortSurvey {
    std::vector<ComLink> links;    // by port number
    std::vector<Adapter> adapters; // by-id entries first, then bare nodes, each by name
};

// The adapters (every /dev/serial/by-id entry, and each /dev/ttyUSB*,
// /dev/ttyACM* and /dev/ttyS* that sysfs shows backed by hardware), never the
// system console, and the COMn links of `settingsFolder`, matched up.
PortSurvey surveyPorts(const DeviceTree& tree, const QString& settingsFolder);

// "FTDI FT232R USB UART, serial A1B2C3"; the node's name when sysfs tells nothing.
QString describe(const Adapter& adapter);

// "ready", "does not exist", "permission denied", "in use", "console".
QString stateWord(OpenError::Reason state);

// May `user` read and write a file of this owner, group and mode?
bool mayReadWrite(const Identity& user, uid_t owner, gid_t group, mode_t mode);

// The adapter that `name` names: its by-id name, with or without the folder,
// or its device node, with or without "/dev/". Null when none does.
const Adapter* findAdapter(const std::vector<Adapter>& adapters, const QString& name);

// True when `name` is the system console of `tree` ("ttyS0", or one that
// /sys/class/tty/console/active names).
bool isConsoleName(const DeviceTree& tree, const QString& name);

struct LinkOutcome {
    enum Kind { Linked, NotALink, Failed };
    Kind kind = Linked;
    QString path{};  // the COMn entry
    QString error{}; // why it failed
};

// Points <settingsFolder>/COMn at `target`: a new link made under a temporary
// name is renamed over the old one, so COMn is never missing or half made. A
// COMn that exists and is not a link is left alone.
LinkOutcome linkComPort(const QString& settingsFolder, int number, const QString& target);

// What the user reads about a LinkOutcome that is not Linked.
QString linkFailureText(const LinkOutcome& outcome);

// The COMn that "Use for COMn" links to `adapter`: the one chosen in the list
// (`chosen`, 0 for none), else the adapter's own link, else the lowest number
// without an entry in the settings folder; 0 when all 255 are taken.
int portForAdapter(int chosen, const Adapter& adapter, const std::vector<ComLink>& links);

// The port number of "COM1" ... "COM255", or 0.
int comNumber(const QString& name);

} // namespace bvlink
