#pragma once
// A whole upload over a pseudo-terminal: a main window started in a fresh
// settings folder whose COM1 leads to a simulated logger, driven through the
// window's own handlers and event loop. The clock is manual, so the
// protocol's pauses are instant and the 20 s watchdog fires only when a test
// moves the clock on.
#include "app_fixture.h"
#include "bvsim/pty_logger.h"
#include <QStringList>
#include <functional>
#include <memory>

class UploadRig {
  public:
    // `comport`: the port setting (COMPORT.DAT), e.g. "COM1" or "COM1:19200";
    // `pacing`: the logger sends at its line speed, as a real one does.
    explicit UploadRig(const bvsim::LoggerConfig& logger, const QString& comport = "COM1",
                       bool pacing = false);
    ~UploadRig();
    UploadRig(const UploadRig&) = delete;
    UploadRig& operator=(const UploadRig&) = delete;

    TForm1& form() { return app.form(); }
    // Another logger behind COM1, from the next opening of the port on.
    void replaceLogger(const bvsim::LoggerConfig& config);

    // Clicks "Upload Data" and runs the event loop until the upload has
    // ended; true when it ended with "DATA LOADED".
    bool upload();
    // Runs the event loop until the upload has ended (loaded, or "Abort
    // Upload" disabled after a failure); false when it is still running after
    // `seconds` of real time.
    bool waitForEnd(int seconds = 30);
    // Runs the event loop until the status line has shown `text`.
    bool waitForStatus(const QString& text, int seconds = 30);
    bool ended() const;
    // Lets time pass on the manual clock, a second for every turn of the
    // event loop, until the upload ends.
    bool letTimePassUntilEnd();
    // Runs the event loop until the logger has received exactly `bytes` (the
    // host's last bytes may still be on their way when an upload ends).
    bool waitForSent(const QByteArray& bytes, int seconds = 5);

    // Every byte the host has sent, as the logger received them.
    QByteArray sent() const { return logger->received(); }

    AppFixture app;
    std::unique_ptr<bvsim::PtyLogger> logger;
    QStringList statuses; // every text the status line has shown, in order

  private:
    QMetaObject::Connection m_statusWatch;
};

// Runs the event loop until `done` holds or `ms` have passed; `done` is
// looked at every 5 ms. The loop sleeps until an event comes, so each of the
// reader's hand-overs is taken at once (a loop that sleeps between turns
// would hold every chunk up).
bool runUntil(const std::function<bool()>& done, int ms);

// A logger of `format` (1 or 2) whose two channels store `count` samples at
// `perHour` from 1 Dec 2026 00:00; `rh`: the RH model (older) or RH on both
// channels (newer).
bvsim::LoggerConfig loggerConfig(int format, bool rh, int count, double perHour = 240);

// Bytes of the logger's header.
qsizetype headerSize(const bvsim::LoggerConfig& config);

// Compares the sample store with the logger's samples first .. first+count-1
// of `channel` (0 or 1): count, time stamps, temperatures, RH and events.
// Returns the first difference, or an empty text when there is none.
QString storeDifference(const SampleStore& store, const bvsim::LoggerConfig& logger, int channel,
                        int first, int count);
