#pragma once
// The reader thread without a main window: free-standing state controls, a
// port link over them, a simulated logger on a pseudo-terminal and a manual
// clock. Handlers for the controls are whatever a test installs.
#include "bvsim/pty_logger.h"
#include "link/port_link.h"
#include "model/controls.h"
#include "platform/clock.h"
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class ReaderFixture {
  public:
    explicit ReaderFixture(const bvsim::LoggerConfig& logger = {});
    ~ReaderFixture();

    // Opens the simulated logger's terminal at 19200 with a new reader.
    bool open();
    void close() { link.close(); }
    // Sends bytes to the logger as the host does, one at a time.
    void send(const QByteArray& bytes);

    platform::ManualClock clock{platform::encodeDateTime(2026, 12, 9, 10, 0, 0)};
    QObject mainThread;
    FlagControl Startloadingheader{"Startloadingheader", false};
    FlagControl Headerloaded{"Headerloaded", false};
    FlagControl Startloadingdata{"Startloadingdata", false};
    FlagControl Errorindata{"Errorindata", false};
    FlagControl Readyfornextblock{"Readyfornextblock", false};
    FlagControl WaitingForAck{"WaitingForAck", false};
    FlagControl WaitOnFastAck{"WaitOnFastAck", false};
    FlagControl FastBaud{"FastBaud", false};
    FlagControl InitAutoload{"InitAutoload", false};
    FlagControl RHBV{"RHBV", false};
    TextControl Memo2{"Memo2", QString()};
    TextControl Memo5{"Memo5", QString()};
    TextControl Memo3{"Memo3", QString()};
    TextControl Edit1{"Edit1", QString()};
    TimeControl Watchdog{"Watchdog", 0};
    std::atomic<int> HeaderFormat{-1};
    std::atomic<bool> AutoOffChecked{true};
    std::atomic<platform::DateTime> NextAutoTime{0};

    bool uploadEnabled = true;
    int blockRequests = 0;      // SendBlockRequest calls
    int scheduleCalls = 0;      // ScheduleNextAuto calls
    QStringList callbackErrors; // errors that ended a callback
    std::function<void()> onBlockRequest;

    ReaderHost host;
    std::unique_ptr<bvsim::PtyLogger> logger;
    PortLink link{host};
};
