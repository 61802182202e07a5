#include "link/tread.h"
#include "link/reader_framing.h"
#include "link/serial_port.h"
#include "platform/guard.h"
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <chrono>
#include <functional>
#include <utility>

// One hand-over of a callback to the main thread. The thread may give it up
// only while the main thread has not begun to run it.
struct TRead::Handover {
    enum State { Pending, Running, Done, Abandoned };
    std::atomic<int> state{Pending};
    void (TRead::*callback)() = nullptr;
};

namespace {

constexpr int kRawAreaSize = 50;
// A read gives up after this long, so the loop (the program's clock) turns at least once a second.
constexpr int kReadTimeoutMs = 1000;
// Quiet on the line that ends a data read with bytes: many character times
// even at 19200 baud (half a millisecond a byte).
constexpr int kLineIdleMs = 5;

// Reads up to `size` bytes: waits up to the second for the first, takes more
// for as long as they keep coming, and returns once the line has been quiet
// for kLineIdleMs.
int readUntilQuiet(bvlink::SerialPort& port, char* buffer, int size) {
    int got = port.read(buffer, 1, kReadTimeoutMs);
    while (got > 0 && got < size) {
        const int more = port.read(buffer + got, size - got, kLineIdleMs);
        if (more == 0)
            break;
        got += more;
    }
    return got;
}

// Lives on the main thread and runs the pending hand-over when its bare
// event arrives. The event carries nothing: what the main thread needs
// passes under the reader's own lock, so that the hand-over is plain to see
// (for ThreadSanitizer too, which cannot see into Qt's event queue).
class CallbackRelay : public QObject {
  public:
    explicit CallbackRelay(std::function<void()> run) : m_run(std::move(run)) {}

  protected:
    void customEvent(QEvent*) override { m_run(); }

  private:
    std::function<void()> m_run;
};

} // namespace

TRead::TRead(ReaderHost& host, ReaderShared& shared, std::shared_ptr<bvlink::SerialPort> port)
    : m_host(host), m_shared(shared), m_port(std::move(port)),
      m_relay(std::make_unique<CallbackRelay>([this] { RunHandover(); })) {
    m_relay->moveToThread(m_host.mainThread.thread());
    m_thread = std::thread([this] { Execute(); });
}

TRead::~TRead() {
    Terminate();
    WaitFor();
}

void TRead::Terminate() {
    {
        std::lock_guard lock(m_lock);
        m_terminated = true;
    }
    m_wake.notify_all();
    m_port->abortPendingRead();
}

void TRead::WaitFor() {
    if (m_thread.joinable())
        m_thread.join();
}

bool TRead::Synchronize(void (TRead::*callback)()) {
    if (m_terminated)
        return false;
    auto handover = std::make_shared<Handover>();
    handover->callback = callback;
    {
        std::lock_guard lock(m_lock);
        m_handover = handover;
    }
    QCoreApplication::postEvent(m_relay.get(), new QEvent(QEvent::User));

    std::unique_lock lock(m_lock);
    m_wake.wait(lock, [&] { return handover->state == Handover::Done || m_terminated; });
    if (handover->state == Handover::Done)
        return !m_terminated;
    int expected = Handover::Pending;
    if (handover->state.compare_exchange_strong(expected, Handover::Abandoned))
        return false;
    // The port was closed from inside this very callback: let it finish.
    m_wake.wait(lock, [&] { return handover->state == Handover::Done; });
    return false;
}

void TRead::RunHandover() {
    std::shared_ptr<Handover> handover;
    {
        std::lock_guard lock(m_lock);
        handover = std::exchange(m_handover, nullptr);
    }
    int expected = Handover::Pending;
    if (!handover || !handover->state.compare_exchange_strong(expected, Handover::Running))
        return; // the thread has left without it
    m_inCallback = true;
    // Like every event: an error ends this callback's chain only, and the
    // hand-over still completes.
    platform::runGuarded([&] { (this->*handover->callback)(); }, m_host.callbackFailed);
    m_inCallback = false;
    {
        std::lock_guard lock(m_lock);
        handover->state = Handover::Done;
    }
    m_wake.notify_all();
}

void TRead::Execute() {
    ReaderHost& h = m_host;
    ReaderShared& s = m_shared;
    const platform::DateTime watchdogLimit = platform::encodeTime(0, 0, 20);
    char raw[kRawAreaSize];

    if (!Synchronize(&TRead::ThreadStarted)) {
        m_finished = true;
        return;
    }
    while (!m_terminated) {
        ++m_loops;
        if (!h.AutoOffChecked.load() && platform::now() >= h.NextAutoTime.load() &&
            !h.InitAutoload.checkedAnyThread() && !Synchronize(&TRead::ScheduleNextAuto))
            break;
        if (!h.Startloadingdata.checkedAnyThread())
            s.RetryCount = 0;
        if (s.RetryCount > 2 && h.Errorindata.checkedAnyThread() &&
            !Synchronize(&TRead::CancelUpload))
            break;
        if (s.RetryCount < 3 && h.Errorindata.checkedAnyThread() &&
            h.Startloadingdata.checkedAnyThread() && !Synchronize(&TRead::RetryBlock))
            break;
        if (h.Watchdog.valueAnyThread() + watchdogLimit < platform::now() &&
            !Synchronize(&TRead::ReportTimeout))
            break;

        int size = 1;
        bool dataRead = false;
        if (h.Startloadingheader.checkedAnyThread()) {
            size = kRawAreaSize;
        } else if (h.Startloadingdata.checkedAnyThread()) {
            size = h.WaitingForAck.checkedAnyThread() ? 1 : kRawAreaSize;
            dataRead = true;
        }
        if (m_terminated)
            break;
        // A data read hands over what it has once the line falls quiet, so the
        // end of a packet is decoded at once and not when the second is up.
        // Header reads keep their second: an older header is complete only
        // when a read ends on its last line feed.
        const auto began = std::chrono::steady_clock::now();
        s.BytesRead =
            dataRead ? readUntilQuiet(*m_port, raw, size) : m_port->read(raw, size, kReadTimeoutMs);
        if (dataRead &&
            std::chrono::steady_clock::now() - began >= std::chrono::milliseconds(kReadTimeoutMs))
            ++s.DataReadTimeouts;
        const QByteArray bytes(raw, s.BytesRead);

        const bool dataPhase =
            h.Startloadingdata.checkedAnyThread() || h.WaitOnFastAck.checkedAnyThread();
        s.Chunk = dataPhase && h.HeaderFormat.load() == 2 ? bvlink::unescape(bytes, EscapePending)
                                                          : bytes;
        s.ChunkLength = static_cast<int>(s.Chunk.size());
        if (s.ChunkLength > 0) {
            void (TRead::*callback)() = &TRead::IdleChunk;
            if (h.Startloadingheader.checkedAnyThread())
                callback = &TRead::HeaderChunk;
            else if (h.Startloadingdata.checkedAnyThread() || h.WaitOnFastAck.checkedAnyThread())
                callback = &TRead::DataChunk;
            if (!Synchronize(callback))
                break;
        }
        if (h.Memo2.isEmptyAnyThread() || (h.HeaderFormat.load() == 1 && s.HeaderLineCount > 38) ||
            h.Errorindata.checkedAnyThread())
            s.HeaderLineCount = 0;
    }
    m_finished = true;
}

void TRead::ThreadStarted() {
    m_shared.HeaderLineCount = 0;
}

void TRead::ScheduleNextAuto() {
    m_host.ScheduleNextAuto();
}

void TRead::CancelUpload() {
    m_host.Edit1.setText("UPLOAD CANCELLED DUE TO CORRUPT DATA OR SERIAL PORT TIMEOUT.");
    m_host.Errorindata.setChecked(true);
    m_host.setUploadButtonsIdle();
    EscapePending = false;
}

void TRead::RetryBlock() {
    ReaderHost& h = m_host;
    ++m_shared.RetryCount;
    platform::pause(2000);
    if (h.uploadEnabled())
        return;
    h.Edit1.setText(QString("DATA ERROR - RETRY (%1) IN PROCESS...").arg(m_shared.RetryCount));
    h.setUploadButtonsBusy();
    h.Startloadingdata.setChecked(false);
    h.Errorindata.setChecked(false);
    h.Startloadingdata.setChecked(true);
    h.Startloadingheader.setChecked(false);
    h.Headerloaded.setChecked(true);
    h.Memo5.clear();
    h.Watchdog.setValue(platform::now());
    h.Readyfornextblock.setChecked(true);
    h.WaitingForAck.setChecked(true);
    EscapePending = false;
    platform::pause(10);
    h.SendBlockRequest();
}

void TRead::ReportTimeout() {
    ReaderHost& h = m_host;
    m_shared.HeaderLineCount = 0;
    if (h.Errorindata.checked())
        return;
    if (!h.Startloadingdata.checked() && !h.Startloadingheader.checked() &&
        !h.WaitOnFastAck.checked())
        return;
    h.Edit1.setText("SERIAL COMMUNICATION TIMED OUT.");
    h.setUploadButtonsIdle();
    if (h.FastBaud.checked()) {
        m_port->writeByte('S');
        h.FastBaud.setChecked(false);
    }
    EscapePending = false;
}

void TRead::HeaderChunk() {
    ReaderHost& h = m_host;
    ReaderShared& s = m_shared;
    s.HeaderScanCount = s.ChunkLength;
    h.Watchdog.setValue(platform::now());
    if (h.HeaderFormat.load() == -1 && s.HeaderLineCount == 0) {
        // The format is told by the second byte; wait a little for it.
        for (int i = 0; i < 5 && s.Chunk.size() < 2; ++i) {
            char byte;
            if (m_port->read(&byte, 1) == 1)
                s.Chunk.append(byte);
        }
        if (s.Chunk.size() < 2)
            return;
        s.ChunkLength = static_cast<int>(s.Chunk.size());
        h.HeaderFormat = bvlink::headerFormatOf(s.Chunk);
        s.HeaderScanner.reset();
    }
    s.HeaderLineCount += bvlink::countLineFeeds(s.Chunk);
    h.Edit1.setText(QString("RECEIVING HEADER (Line %1) ..PLEASE WAIT...").arg(s.HeaderLineCount));
    h.Memo2.append(bvlink::chunkText(s.Chunk));

    if (h.HeaderFormat.load() == 1) {
        const bvlink::OlderHeader done = bvlink::olderHeaderCompletion(s.HeaderLineCount, s.Chunk);
        if (done != bvlink::OlderHeader::Incomplete) {
            const bool rh = done == bvlink::OlderHeader::RhModel;
            h.Headerloaded.setChecked(true);
            s.HeaderLineCount = 0;
            h.RHBV.setChecked(rh);
            h.Edit1.setText(rh ? "HEADER LOADED (RH+TEMPERATURE MODEL)...PLEASE WAIT..."
                               : "HEADER LOADED (TEMPERATURE MODEL)...PLEASE WAIT...");
            h.Memo2.append("\r\n");
        }
    }
    h.Watchdog.setValue(platform::now());
    if (h.HeaderFormat.load() == 2) {
        const bvlink::NewerHeaderScan scan = s.HeaderScanner.scan(h.Memo2.text(), h.RHBV.checked());
        h.RHBV.setChecked(scan.rh);
        s.HeaderScanCount = scan.score;
        if (s.HeaderScanCount == 4) {
            h.Headerloaded.setChecked(true);
            s.HeaderLineCount = 0;
            h.Edit1.setText("HEADER LOADED (VERSION 2)...PLEASE WAIT...");
            h.Memo2.append("\r\n");
        }
    }
}

void TRead::DataChunk() {
    ReaderHost& h = m_host;
    ReaderShared& s = m_shared;
    s.HeaderLineCount = 0;
    s.HexText.clear();
    h.Watchdog.setValue(platform::now());
    s.HexText = bvlink::dataChunkText(s.Chunk, h.HeaderFormat.load(),
                                      static_cast<int>(h.Memo5.text().size()));
    h.Memo5.append(s.HexText);
    h.Watchdog.setValue(platform::now());
}

void TRead::IdleChunk() {
    m_host.Memo3.append(bvlink::chunkText(m_shared.Chunk));
}
