#pragma once
// A serial device used the way the logger link needs it: exclusive, raw,
// without flow control, line parameters from a mode string such as
// "19200,N,8,1", reads that end when the requested count has arrived or one
// second after they began, single-byte blocking writes from another thread,
// and an abort of a pending read. The settings found at open are written back
// before the close.
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <termios.h>

namespace bvlink {

// Why a device could not be opened.
struct OpenError {
    enum Reason {
        None,
        Missing,          // no such device (or no hardware behind it)
        PermissionDenied, // the user may not open it
        InUse,            // another program holds it
        Console,          // the system console, never opened
        NotATerminal,     // opens, but is no serial device
        Other             // systemError tells
    };
    Reason reason = None;
    int systemError = 0; // errno
};

class SerialPort {
  public:
    // Opens `device` for reading and writing, exclusively, without making it
    // the controlling terminal and without waiting for a carrier, and sets it
    // up with `mode`. The system console is refused without being opened.
    // Returns nullptr when the device cannot be opened, and says why in `error`.
    static std::unique_ptr<SerialPort> open(const QString& device, const QString& mode,
                                            OpenError* error = nullptr);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Raw mode with the rate, parity, data and stop bits of `mode`, the modem
    // lines ignored and no flow control, so that nothing another program left
    // set can hold a read or a write. A part the device rejects is left as
    // the device has it; returns false when the rate is not in force.
    bool setMode(const QString& mode);

    // True when the device can run at `baud`; the line is left at its rate.
    bool supportsRate(int baud);

    // Reads up to `count` bytes; returns when they have arrived, when
    // `timeoutMs` has passed since the call began, or at once after
    // abortPendingRead(). A device that has gone away (hang-up, I/O error) is
    // closed at once, so that the system can give its name to the device that
    // replaces it; the read then waits out the time-out and returns 0, so a
    // reading loop never spins.
    int read(char* buffer, int count, int timeoutMs = 1000);

    // Writes one byte, blocking until the driver has taken it; failures are
    // ignored as the link ignores them.
    void writeByte(char byte);

    // Makes a read in progress return at once; bytes already received stay
    // buffered for the next read.
    void abortPendingRead();

    // Writes back the settings found at open and closes the device. Reads and
    // writes after close return at once.
    void close();
    bool isOpen() const { return m_fd.load() >= 0; }

    // True when `device` is the system console listed in `consoleList` (the
    // kernel's /sys/class/tty/console/active), compared by device number.
    static bool isConsole(const QString& device,
                          const QString& consoleList = "/sys/class/tty/console/active");

  private:
    SerialPort(int fd, int wakeFd, const termios& saved, int savedSpeed);

    std::atomic<int> m_fd;
    std::mutex m_fdLock; // a write or a rate probe against the reader closing a dead device
    int m_wakeFd;        // eventfd that abortPendingRead() signals
    termios m_saved{};   // SavedTimeouts: the device's settings before our use
    int m_savedSpeed = 0;
};

} // namespace bvlink
