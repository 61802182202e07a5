#include "link/serial_port.h"
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

speed_t speedOf(int baud) {
    switch (baud) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 1152000:
        return B1152000;
    case 1500000:
        return B1500000;
    case 2000000:
        return B2000000;
    case 2500000:
        return B2500000;
    case 3000000:
        return B3000000;
    case 3500000:
        return B3500000;
    case 4000000:
        return B4000000;
    default:
        return B0;
    }
}

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

std::unique_ptr<SerialPort> SerialPort::open(const QString& device) {
    if (device.isEmpty() || isConsole(device))
        return nullptr;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    termios saved{};
    // Not shared: TIOCEXCL keeps other opens out, the lock also holds against
    // a privileged program that TIOCEXCL does not stop.
    if (::tcgetattr(fd, &saved) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return nullptr;
    }
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SerialPort>(new SerialPort(fd, wakeFd, saved));
}

SerialPort::SerialPort(int fd, int wakeFd, const termios& saved)
    : m_fd(fd), m_wakeFd(wakeFd), m_saved(saved) {}

SerialPort::~SerialPort() {
    close();
    ::close(m_wakeFd);
}

void SerialPort::setMode(const QString& mode) {
    const int fd = m_fd.load();
    termios tio{};
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0)
        return;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const QStringList parts = mode.split(',');
    if (const speed_t speed = speedOf(parts.value(0).trimmed().toInt()); speed != B0)
        ::cfsetspeed(&tio, speed);
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
}

int SerialPort::read(char* buffer, int count, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int got = 0;
    bool deviceGone = false;
    while (got < count) {
        const int fd = m_fd.load();
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {fd, POLLIN, 0}};
        // A closed or vanished device is not polled; only the abort can end the wait early.
        const nfds_t n = (fd < 0 || deviceGone) ? 1 : 2;
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
        deviceGone = true;
    }
    return got;
}

void SerialPort::writeByte(char byte) {
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
    const int fd = m_fd.exchange(-1);
    if (fd < 0)
        return;
    ::tcsetattr(fd, TCSANOW, &m_saved);
    ::close(fd);
}

} // namespace bvlink
