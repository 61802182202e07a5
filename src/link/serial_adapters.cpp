#include "link/serial_adapters.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace bvlink {
namespace {

const QString kById = "/dev/serial/by-id";
// The device nodes looked at beside the by-id links.
const QStringList kNodePatterns = {"ttyUSB*", "ttyACM*", "ttyS*"};

QString readLink(const QString& hostPath) {
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(hostPath).constData(), buffer, sizeof buffer);
    return n > 0 ? QFile::decodeName(QByteArray(buffer, static_cast<int>(n))) : QString();
}

QString readTrimmed(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.read(4096)).trimmed();
}

// The entries of a folder, broken links included, by name.
QStringList entries(const QString& hostFolder, const QStringList& patterns = {}) {
    return QDir(hostFolder)
        .entryList(patterns, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// "ttyS10" after "ttyS2".
bool nodeOrder(const QString& a, const QString& b) {
    static const QRegularExpression split("^(\\D*)(\\d*)$");
    const auto ma = split.match(a), mb = split.match(b);
    if (ma.captured(1) != mb.captured(1))
        return ma.captured(1) < mb.captured(1);
    return ma.captured(2).toInt() < mb.captured(2).toInt();
}

// What other programs hold open, from the /proc/<pid>/fd links: the paths
// they opened. Only processes whose fd folder we may read are seen (our own
// user's, or all of them for root); a program of another user or in another
// container, or one that locks a device without keeping it open, goes unseen.
// Opening the device to test would take it from under its user, so that is
// never done.
QSet<QString> heldPaths(const DeviceTree& tree) {
    static const QRegularExpression pid("^\\d+$");
    QSet<QString> held;
    const QString proc = tree.hostPath("/proc");
    for (const QString& process : QDir(proc).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!pid.match(process).hasMatch() || process.toInt() == tree.ownPid)
            continue;
        const QString fds = proc + "/" + process + "/fd";
        for (const QString& fd : entries(fds))
            if (const QString target = readLink(fds + "/" + fd); target.startsWith('/'))
                held.insert(target);
    }
    return held;
}

struct SysfsInfo {
    bool hardware = false;
    QString manufacturer, product, serial;
};

// What sysfs tells of the tty `name`: whether a driver serves real hardware
// (a ttyS without a UART has type 0), and the USB device's strings.
SysfsInfo sysfsInfo(const DeviceTree& tree, const QString& name) {
    SysfsInfo info;
    const QString classDir = tree.hostPath("/sys/class/tty/" + name);
    const QString device = QFileInfo(classDir + "/device").canonicalFilePath();
    if (device.isEmpty() || !QFileInfo::exists(device + "/driver"))
        return info;
    info.hardware = !name.startsWith("ttyS") || readTrimmed(classDir + "/type").toInt() != 0;
    // The USB device is the first folder above the interface with a vendor id.
    const QString sys = QFileInfo(tree.hostPath("/sys")).canonicalFilePath();
    for (QString dir = device; dir.startsWith(sys + "/"); dir = QFileInfo(dir).path()) {
        if (QFileInfo::exists(dir + "/idVendor")) {
            info.manufacturer = readTrimmed(dir + "/manufacturer");
            info.product = readTrimmed(dir + "/product");
            info.serial = readTrimmed(dir + "/serial");
            break;
        }
    }
    return info;
}

// The state of the device at `hostPath` (already resolved), as an open would find it.
OpenError::Reason deviceState(const DeviceTree& tree, const QString& hostPath,
                              const QSet<QString>& held) {
    struct stat st {};
    if (hostPath.isEmpty() || ::stat(QFile::encodeName(hostPath).constData(), &st) != 0)
        return OpenError::Missing;
    if (isConsoleName(tree, QFileInfo(hostPath).fileName()))
        return OpenError::Console;
    if (!mayReadWrite(tree.user, st.st_uid, st.st_gid, st.st_mode))
        return OpenError::PermissionDenied;
    // The program serving a pseudo-terminal (a simulated logger) keeps its
    // far end open for good; that is no other user of the line.
    const QString path = tree.systemPath(hostPath);
    if (!path.startsWith("/dev/pts/") && (held.contains(hostPath) || held.contains(path)))
        return OpenError::InUse;
    return OpenError::None;
}

Adapter adapterAt(const DeviceTree& tree, const QString& stableName, const QString& hostNode,
                  const QSet<QString>& held) {
    Adapter adapter{.stableName = stableName,
                    .node = hostNode.isEmpty() ? QString() : tree.systemPath(hostNode),
                    .state = deviceState(tree, hostNode, held)};
    if (!hostNode.isEmpty()) {
        const SysfsInfo info = sysfsInfo(tree, QFileInfo(hostNode).fileName());
        adapter.manufacturer = info.manufacturer;
        adapter.product = info.product;
        adapter.serial = info.serial;
    }
    return adapter;
}

std::vector<Adapter> findAdapters(const DeviceTree& tree, const QSet<QString>& held) {
    std::vector<Adapter> adapters;
    QSet<QString> covered;
    for (const QString& entry : entries(tree.hostPath(kById))) {
        // One step only: udev points the link at the node ("../../ttyUSB0"),
        // and that node's name is the one sysfs knows.
        const QString link = tree.hostPath(kById + "/" + entry);
        QString node = QDir::cleanPath(QDir(tree.hostPath(kById)).absoluteFilePath(readLink(link)));
        if (!QFileInfo::exists(node))
            node.clear();
        else if (isConsoleName(tree, QFileInfo(node).fileName()))
            continue;
        covered.insert(node);
        adapters.push_back(adapterAt(tree, kById + "/" + entry, node, held));
    }
    QStringList nodes = entries(tree.hostPath("/dev"), kNodePatterns);
    std::sort(nodes.begin(), nodes.end(), nodeOrder);
    for (const QString& name : nodes) {
        const QString node = tree.hostPath("/dev/" + name);
        if (!QFileInfo::exists(node) || covered.contains(node) || isConsoleName(tree, name) ||
            !sysfsInfo(tree, name).hardware)
            continue;
        covered.insert(node);
        adapters.push_back(adapterAt(tree, "/dev/" + name, node, held));
    }
    return adapters;
}

std::vector<ComLink> findComLinks(const DeviceTree& tree, const QString& folder,
                                  const QSet<QString>& held) {
    std::vector<ComLink> links;
    for (const QString& name : entries(folder, {"COM*"})) {
        const int number = comNumber(name);
        if (number == 0)
            continue;
        const QString path = QDir(folder).filePath(name);
        const bool isLink = QFileInfo(path).isSymLink();
        links.push_back({.number = number,
                         .isLink = isLink,
                         .target = isLink ? readLink(path) : QString(),
                         .state = deviceState(tree, QFileInfo(path).canonicalFilePath(), held)});
    }
    std::sort(links.begin(), links.end(),
              [](const ComLink& a, const ComLink& b) { return a.number < b.number; });
    return links;
}

// Does the COMn link lead to this adapter: by its stable name (also when the
// device has vanished) or to its node by any other road?
bool leadsTo(const DeviceTree& tree, const QString& folder, const ComLink& link,
             const Adapter& adapter) {
    if (!link.isLink)
        return false;
    const QString target = QDir(folder).absoluteFilePath(link.target);
    if (QDir::cleanPath(target) == tree.hostPath(adapter.stableName))
        return true;
    const QString resolved =
        QFileInfo(QDir(folder).filePath("COM" + QString::number(link.number))).canonicalFilePath();
    return !resolved.isEmpty() && !adapter.node.isEmpty() &&
           resolved == QFileInfo(tree.hostPath(adapter.node)).canonicalFilePath();
}

} // namespace

Identity Identity::ofProcess() {
    Identity identity{.uid = ::geteuid(), .groups = {::getegid()}};
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> more(static_cast<size_t>(count));
        if (::getgroups(count, more.data()) == count)
            identity.groups.insert(identity.groups.end(), more.begin(), more.end());
    }
    return identity;
}

DeviceTree DeviceTree::system() {
    QString root = qEnvironmentVariable("BRENVALE_DEVICE_ROOT");
    while (root.endsWith('/'))
        root.chop(1);
    return {.root = root, .ownPid = static_cast<int>(::getpid())};
}

QString DeviceTree::systemPath(const QString& hostPath) const {
    if (!root.isEmpty() && hostPath.startsWith(root + "/"))
        return hostPath.mid(root.size());
    return hostPath;
}

bool mayReadWrite(const Identity& user, uid_t owner, gid_t group, mode_t mode) {
    if (user.uid == 0)
        return true;
    if (user.uid == owner)
        return (mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR);
    if (std::find(user.groups.begin(), user.groups.end(), group) != user.groups.end())
        return (mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    return (mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
}

bool isConsoleName(const DeviceTree& tree, const QString& name) {
    if (name == "ttyS0")
        return true;
    return readTrimmed(tree.hostPath("/sys/class/tty/console/active"))
        .split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)
        .contains(name);
}

PortSurvey surveyPorts(const DeviceTree& tree, const QString& settingsFolder) {
    const QSet<QString> held = heldPaths(tree);
    PortSurvey survey{.links = findComLinks(tree, settingsFolder, held),
                      .adapters = findAdapters(tree, held)};
    for (Adapter& adapter : survey.adapters)
        for (const ComLink& link : survey.links)
            if (adapter.linkedPort.isEmpty() && leadsTo(tree, settingsFolder, link, adapter))
                adapter.linkedPort = "COM" + QString::number(link.number);
    return survey;
}

QString describe(const Adapter& adapter) {
    QString text = QStringList{adapter.manufacturer, adapter.product}.join(' ').trimmed();
    if (text.isEmpty())
        text = QFileInfo(adapter.node.isEmpty() ? adapter.stableName : adapter.node).fileName();
    if (!adapter.serial.isEmpty())
        text += ", serial " + adapter.serial;
    return text;
}

QString stateWord(OpenError::Reason state) {
    switch (state) {
    case OpenError::None:
        return "ready";
    case OpenError::Missing:
        return "does not exist";
    case OpenError::PermissionDenied:
        return "permission denied";
    case OpenError::InUse:
        return "in use";
    case OpenError::Console:
        return "console";
    case OpenError::NotATerminal:
        return "not a serial port";
    case OpenError::Other:
        break;
    }
    return "cannot be opened";
}

const Adapter* findAdapter(const std::vector<Adapter>& adapters, const QString& name) {
    const auto names = [&](const Adapter& a) {
        return name == a.stableName || a.stableName == kById + "/" + name ||
               (!a.node.isEmpty() && (name == a.node || "/dev/" + name == a.node));
    };
    const auto found = std::find_if(adapters.begin(), adapters.end(), names);
    return found != adapters.end() ? &*found : nullptr;
}

LinkOutcome linkComPort(const QString& settingsFolder, int number, const QString& target) {
    const QString path = QDir(settingsFolder).filePath("COM" + QString::number(number));
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isSymLink())
        return {.kind = LinkOutcome::NotALink, .path = path};
    const QByteArray temporary = QFile::encodeName(
        QDir(settingsFolder).filePath(QString(".COM%1.%2.new").arg(number).arg(::getpid())));
    const auto failed = [&] {
        const int error = errno;
        ::unlink(temporary.constData());
        return LinkOutcome{.kind = LinkOutcome::Failed,
                           .path = path,
                           .error = QString::fromLocal8Bit(std::strerror(error))};
    };
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0)
        return failed();
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        return failed();
    return {.kind = LinkOutcome::Linked, .path = path};
}

QString linkFailureText(const LinkOutcome& outcome) {
    if (outcome.kind == LinkOutcome::NotALink)
        return outcome.path + " exists and is not a link; it was left as it is.";
    return "Cannot make the link " + outcome.path + ": " + outcome.error + ".";
}

int portForAdapter(int chosen, const Adapter& adapter, const std::vector<ComLink>& links) {
    if (chosen > 0)
        return chosen;
    if (const int own = comNumber(adapter.linkedPort); own > 0)
        return own;
    for (int n = 1; n <= 255; ++n)
        if (std::none_of(links.begin(), links.end(),
                         [n](const ComLink& l) { return l.number == n; }))
            return n;
    return 0;
}

int comNumber(const QString& name) {
    static const QRegularExpression shape("^COM([1-9]\\d{0,2})$");
    const auto match = shape.match(name);
    const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
    return number <= 255 ? number : 0;
}

} // namespace bvlink
