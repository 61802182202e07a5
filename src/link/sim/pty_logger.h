#pragma once
// Serves a SimulatedLogger on a pseudo-terminal: a link at a given path
// points at the terminal's device, so the program can open it as a port. The
// logger keeps the device open itself, so the program may close and reopen
// it any number of times. Runs on its own thread until stopped.
#include "link/sim/simulated_logger.h"
#include <QString>
#include <atomic>
#include <mutex>
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

    // Everything received from the host so far.
    QByteArray received() const;
    int baudRate() const { return m_baud.load(); }
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
    std::thread m_thread;
};

} // namespace bvsim
