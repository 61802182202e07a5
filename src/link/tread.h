#pragma once
// The reader thread: one per open port. It reads the port in reads of at most
// one second, frames what arrives by the upload phase and hands every chunk
// to the main thread through a callback that runs there while the thread
// waits. Once per loop it is also the program's clock: upload watchdog,
// retry and cancel rules, next automatic download.
#include "link/reader_host.h"
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QObject;
namespace bvlink {
class SerialPort;
}

class TRead {
  public:
    TRead(ReaderHost& host, ReaderShared& shared, std::shared_ptr<bvlink::SerialPort> port);
    ~TRead(); // terminates and waits for the thread
    TRead(const TRead&) = delete;
    TRead& operator=(const TRead&) = delete;

    // Asks the loop to end. A read in progress or a callback waiting to be
    // run is given up at once; a callback that is running finishes first, and
    // the thread then leaves without touching the port again.
    void Terminate();
    // Until the thread has left its loop. Never from inside its own callback.
    void WaitFor();
    bool finished() const { return m_finished.load(); }
    // True while the main thread runs one of this thread's callbacks.
    bool inCallback() const { return m_inCallback; }

    // Loops run so far (the diagnostics of a dead adapter count them).
    quint64 loopCount() const { return m_loops.load(); }

    bool EscapePending = false;

  private:
    struct Handover;

    void Execute();
    // Runs a callback on the main thread and waits; false when the thread must leave.
    bool Synchronize(void (TRead::*callback)());
    // On the main thread: runs the callback handed over, unless given up.
    void RunHandover();

    void ThreadStarted();
    void ScheduleNextAuto();
    void CancelUpload();
    void RetryBlock();
    void ReportTimeout();
    void HeaderChunk();
    void DataChunk();
    void IdleChunk();

    ReaderHost& m_host;
    ReaderShared& m_shared;
    std::shared_ptr<bvlink::SerialPort> m_port;
    std::unique_ptr<QObject> m_relay; // receives the hand-overs on the main thread
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::shared_ptr<Handover> m_handover; // the one waiting to be run, under m_lock
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_finished{false};
    std::atomic<quint64> m_loops{0};
    bool m_inCallback = false; // main thread only
    std::thread m_thread;
};
