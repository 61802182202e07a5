#pragma once
// Serves a SimulatedLogger on a pseudo-terminal: a link at a given path
// points at the terminal's device, so the program can open it as a port. The
// logger keeps the device open itself, so the program may close and reopen
// it any number of times. Runs on its own thread until stopped.
#include "bvsim/simulated_logger.h"
#include <QList>
#include <QString>
#include <atomic>
#include <mutex>
#include <termios.h>
#include <thread>

namespace bvsim {

class PtyLogger {
  public:
    // `pacing`: send at the current line speed, ten bits a byte.
    // `logPath`: a file that receives every byte the host sends.
    explicit PtyLogger(LoggerConfig config, bool pacing = false, QString logPath = QString());
    ~PtyLogger();
    PtyLogger(const PtyLogger&) = delete;
    PtyLogger& operator=(const PtyLogger&) = delete;

    // Creates the terminal, points `linkPath` at it (when given) and starts
    // serving. False when no terminal can be had. The link goes with the
    // logger unless another one has been pointed there since.
    bool start(const QString& linkPath = QString());
    void stop();
    QString devicePath() const { return m_devicePath; }

    // The byte log: everything received from the host so far, and
    // everything sent to it (written to the terminal) so far.
    QByteArray received() const;
    // The host's line speed when each of those bytes was taken in.
    QList<int> receivedSpeeds() const;
    // The terminal's settings as the host has them (a port that another
    // program left behind, or what the host made of it).
    termios lineSettings() const;
    void setLineSettings(const termios& settings);
    QByteArray sent() const;
    // The time the bytes exchanged so far take on the line, both ways, ten
    // bits a byte at the line speed in force when each byte went over.
    double lineSeconds() const;
    int baudRate() const { return m_baud.load(); }
    const LoggerConfig& config() const { return m_logger.config(); }
    // Sends bytes of the test's own choosing, as if the logger had sent them.
    void inject(const QByteArray& bytes);
    // Pulls the plug: the host's side of the terminal hangs up for good.
    void unplug();

  private:
    void serve();

    SimulatedLogger m_logger;
    bool m_pacing;
    QString m_logPath;
    QString m_devicePath;
    QString m_linkPath;
    int m_master = -1;
    int m_slave = -1;  // held open so the host's closes never hang the terminal up
    int m_stopFd = -1; // eventfd that ends serve()
    std::atomic<int> m_baud{19200};
    mutable std::mutex m_lock;
    QByteArray m_received;
    QList<int> m_receivedSpeeds;
    QByteArray m_sent;
    double m_lineSeconds = 0;
    std::thread m_thread;
};

} // namespace bvsim
