#include "bvsim/pty_logger.h"
#include "link/line_speed.h"
#include <QFile>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace bvsim {

PtyLogger::PtyLogger(LoggerConfig config, bool pacing, QString logPath)
    : m_logger(std::move(config)), m_pacing(pacing), m_logPath(std::move(logPath)) {}

PtyLogger::~PtyLogger() {
    stop();
    // A link left behind would point at a terminal number that the next
    // terminal session may receive. One that another logger has taken over
    // since is theirs.
    if (!m_linkPath.isEmpty() && QFile::symLinkTarget(m_linkPath) == m_devicePath)
        QFile::remove(m_linkPath);
}

bool PtyLogger::start(const QString& linkPath) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return false;
    m_devicePath = QString::fromLocal8Bit(::ptsname(m_master));
    m_slave = ::open(QFile::encodeName(m_devicePath).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return false;
    // Raw from the start: an echoing terminal would hand our replies back to us,
    // and the program restores these settings when it closes the port.
    termios tio{};
    ::tcgetattr(m_slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(m_devicePath, linkPath))
            return false;
        m_linkPath = linkPath;
    }
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { serve(); });
    return true;
}

void PtyLogger::stop() {
    if (m_thread.joinable()) {
        ::eventfd_write(m_stopFd, 1);
        m_thread.join();
    }
    for (int* fd : {&m_master, &m_slave, &m_stopFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PtyLogger::unplug() {
    // Closing every handle of the terminal's master side hangs up its device.
    stop();
}

void PtyLogger::inject(const QByteArray& bytes) {
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n =
            ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (errno != EAGAIN && errno != EINTR)
            return;
        else
            ::usleep(1000);
    }
}

QByteArray PtyLogger::received() const {
    std::lock_guard lock(m_lock);
    return m_received;
}

QList<int> PtyLogger::receivedSpeeds() const {
    std::lock_guard lock(m_lock);
    return m_receivedSpeeds;
}

termios PtyLogger::lineSettings() const {
    termios tio{};
    ::tcgetattr(m_slave, &tio);
    return tio;
}

void PtyLogger::setLineSettings(const termios& settings) {
    ::tcsetattr(m_slave, TCSANOW, &settings);
}

QByteArray PtyLogger::sent() const {
    std::lock_guard lock(m_lock);
    return m_sent;
}

double PtyLogger::lineSeconds() const {
    std::lock_guard lock(m_lock);
    return m_lineSeconds;
}

void PtyLogger::serve() {
    using Clock = std::chrono::steady_clock;
    QFile log(m_logPath);
    if (!m_logPath.isEmpty())
        log.open(QIODevice::WriteOnly | QIODevice::Append);
    QByteArray pending; // bytes still to send
    Clock::time_point nextByte = Clock::now();
    for (;;) {
        // Ten bits a byte at the line speed in force.
        const auto byteTime = std::chrono::microseconds(10'000'000LL / m_logger.baudRate());
        int timeout = -1;
        bool wantWrite = !pending.isEmpty();
        if (wantWrite && m_pacing && nextByte > Clock::now()) {
            timeout = static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(nextByte - Clock::now()).count());
            wantWrite = false;
        }
        pollfd fds[2] = {{m_stopFd, POLLIN, 0},
                         {m_master, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            return;
        if (fds[1].revents & POLLIN) {
            char in[256];
            const ssize_t n = ::read(m_master, in, sizeof in);
            const int hostSpeed = n > 0 ? bvlink::lineSpeed(m_slave) : 0;
            for (ssize_t i = 0; i < n; ++i) {
                {
                    std::lock_guard lock(m_lock);
                    m_received.append(in[i]);
                    m_receivedSpeeds.append(hostSpeed);
                    m_lineSeconds += 10.0 / m_logger.baudRate();
                }
                if (log.isOpen()) {
                    log.write(&in[i], 1);
                    log.flush();
                }
                if (pending.isEmpty())
                    nextByte = Clock::now();
                pending += m_logger.receive(in[i]);
            }
        }
        if (wantWrite && (fds[1].revents & POLLOUT)) {
            qsizetype count = pending.size();
            if (m_pacing) // the bytes whose time has come
                count = std::min<qsizetype>(count, 1 + (Clock::now() - nextByte) / byteTime);
            const ssize_t n = ::write(m_master, pending.constData(), static_cast<size_t>(count));
            if (n > 0) {
                {
                    std::lock_guard lock(m_lock);
                    m_sent.append(pending.constData(), n);
                    m_lineSeconds += 10.0 * static_cast<double>(n) / m_logger.baudRate();
                }
                pending.remove(0, n);
                nextByte += byteTime * n;
            }
        }
        m_baud = m_logger.baudRate();
    }
}

} // namespace bvsim
