#include "link/serial_port.h"
#include "link/line_speed.h"
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bvlink {
namespace {

bool deviceNumber(const QString& path, dev_t& number) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    number = st.st_rdev;
    return true;
}

using Clock = std::chrono::steady_clock;

// Rounded up: a wait never ends before its deadline.
int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

bool SerialPort::isConsole(const QString& device, const QString& consoleList) {
    dev_t number{};
    if (!deviceNumber(device, number))
        return false;
    QFile list(consoleList);
    if (!list.open(QIODevice::ReadOnly))
        return false;
    const QStringList names = QString::fromLocal8Bit(list.readAll())
                                  .split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    for (const QString& name : names) {
        dev_t console{};
        if (deviceNumber("/dev/" + name, console) && console == number)
            return true;
    }
    return false;
}

std::unique_ptr<SerialPort> SerialPort::open(const QString& device, const QString& mode,
                                             OpenError* error) {
    OpenError failed;
    const auto refuse = [&](OpenError::Reason reason, int fd = -1) {
        failed = {reason, errno};
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = failed;
        return nullptr;
    };
    if (device.isEmpty())
        return refuse(OpenError::Missing);
    if (isConsole(device))
        return refuse(OpenError::Console);
    // Without O_NONBLOCK the open of a port whose carrier is low waits for it.
    const int fd =
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case EIO:
            return refuse(OpenError::Missing);
        case EACCES:
        case EPERM:
            return refuse(OpenError::PermissionDenied);
        case EBUSY:
            return refuse(OpenError::InUse);
        default:
            return refuse(OpenError::Other);
        }
    }
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0)
        return refuse(errno == ENOTTY ? OpenError::NotATerminal : OpenError::Other, fd);
    // Not shared: TIOCEXCL keeps other opens out, the lock also holds against
    // a privileged program that TIOCEXCL does not stop.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return refuse(errno == EWOULDBLOCK ? OpenError::InUse : OpenError::Other, fd);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return refuse(OpenError::Other, fd);
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
        return refuse(OpenError::Other, fd);
    std::unique_ptr<SerialPort> port(new SerialPort(fd, wakeFd, saved, lineSpeed(fd)));
    port->setMode(mode);
    // The modem lines are ignored from now on; writes block until the driver takes the byte.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (error)
        *error = failed;
    return port;
}

SerialPort::SerialPort(int fd, int wakeFd, const termios& saved, int savedSpeed)
    : m_fd(fd), m_wakeFd(wakeFd), m_saved(saved), m_savedSpeed(savedSpeed) {}

SerialPort::~SerialPort() {
    close();
    ::close(m_wakeFd);
}

bool SerialPort::setMode(const QString& mode) {
    std::lock_guard lock(m_fdLock);
    const int fd = m_fd.load();
    termios tio{};
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const QStringList parts = mode.split(',');
    const QString parity = parts.value(1).trimmed().toUpper();
    tio.c_cflag &= ~(PARENB | PARODD);
    if (parity == "E")
        tio.c_cflag |= PARENB;
    else if (parity == "O")
        tio.c_cflag |= PARENB | PARODD;
    const int bits = parts.value(2).trimmed().toInt();
    if (bits >= 5 && bits <= 8) {
        tio.c_cflag &= ~CSIZE;
        tio.c_cflag |= bits == 5 ? CS5 : bits == 6 ? CS6 : bits == 7 ? CS7 : CS8;
    }
    if (parts.value(3).trimmed() == "2")
        tio.c_cflag |= CSTOPB;
    else
        tio.c_cflag &= ~CSTOPB;
    ::tcsetattr(fd, TCSANOW, &tio);
    return setLineSpeed(fd, parts.value(0).trimmed().toInt());
}

bool SerialPort::supportsRate(int baud) {
    std::lock_guard lock(m_fdLock);
    const int fd = m_fd.load();
    if (fd < 0)
        return false;
    const int current = lineSpeed(fd);
    const bool supported = setLineSpeed(fd, baud);
    setLineSpeed(fd, current);
    return supported;
}

int SerialPort::read(char* buffer, int count, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int got = 0;
    while (got < count) {
        const int fd = m_fd.load();
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {fd, POLLIN, 0}};
        // A closed device is not polled; only the abort can end the wait early.
        const nfds_t n = fd < 0 ? 1 : 2;
        const int ready = ::poll(fds, n, remainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        if (fds[0].revents & POLLIN) {
            eventfd_t drained;
            ::eventfd_read(m_wakeFd, &drained);
            break;
        }
        if (n < 2)
            continue;
        if (fds[1].revents & POLLIN) {
            const ssize_t r = ::read(fd, buffer + got, static_cast<size_t>(count - got));
            if (r > 0) {
                got += static_cast<int>(r);
                continue;
            }
            if (r < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
        }
        // Hang-up, error, or end of file: the adapter has gone. Nothing more
        // arrives; wait out the second so that the reader's loop keeps its pace.
        close();
    }
    return got;
}

void SerialPort::writeByte(char byte) {
    std::lock_guard lock(m_fdLock);
    const int fd = m_fd.load();
    if (fd < 0)
        return;
    ssize_t r;
    do {
        r = ::write(fd, &byte, 1);
    } while (r < 0 && errno == EINTR);
}

void SerialPort::abortPendingRead() {
    ::eventfd_write(m_wakeFd, 1);
}

void SerialPort::close() {
    std::lock_guard lock(m_fdLock);
    const int fd = m_fd.exchange(-1);
    if (fd < 0)
        return;
    ::tcsetattr(fd, TCSANOW, &m_saved);
    // A rate outside the fixed table does not survive the C library's settings.
    if (m_savedSpeed > 0 && lineSpeed(fd) != m_savedSpeed)
        setLineSpeed(fd, m_savedSpeed);
    ::close(fd);
}

} // namespace bvlink
