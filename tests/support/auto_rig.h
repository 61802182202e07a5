#pragma once
// Automatic downloads against a simulated logger, in a main window of its
// own: Setup > Auto Download answered as a user would, the reader's clock
// test run by the manual clock, and a restart of the program in the same
// settings folder. With a recording logger (recordingClock), the logger goes
// on storing samples as the manual clock advances.
#include "app/user_dialogs.h"
#include "upload_rig.h"
#include <memory>
#include <vector>

class QAction;

class AutoRig {
  public:
    explicit AutoRig(const bvsim::LoggerConfig& logger, const QString& comport = "COM1",
                     bool pacing = false);
    ~AutoRig();

    TForm1& form() { return rig.form(); }
    QString path(const QString& name) const { return rig.app.path(name); }

    // Closes the program and starts it again in the same folder.
    void restart();
    // The channel items, then an interval item, "Continue" and the save
    // dialog answered with `base`. True when the base name was taken.
    bool setUp(QAction* TForm1::*interval, const QString& base, bool channel1 = true,
               bool channel2 = true);

    struct Ended {
        int channel;
        bool succeeded;
        QString status;
    };
    // Runs the event loop until the automatic run that falls due has ended
    // (channel 1 and its channel-2 follow-up); empty when none ended within
    // `seconds` of real time. `letTimePass`: the manual clock moves a second
    // for every turn of the event loop meanwhile.
    std::vector<Ended> waitForRun(int seconds = 60, bool letTimePass = false);

    UploadRig rig;
    std::unique_ptr<TForm5> verify;
    QStringList statuses; // every status line since the last start

  private:
    void attach();
    std::vector<Ended> m_ended;
    QObject m_watch; // the context of the connections to the window; goes first
};

// The logger's configuration recording from `first`, on the manual clock.
bvsim::LoggerConfig recordingLogger(platform::DateTime first, int perHour = 240, bool rh = true);

// What the monthly files of one channel hold, checked against the logger:
// the plain files, month after month from the logger's first sample, hold
// its samples 0, 1, 2, ... once each and in order (time, Celsius, RH), and
// every duplicate of a month (.bvx, then _0.bxv, _1.bxv, ...) loads back
// through `loader`, together giving the month's rows again.
struct MonthlyCheck {
    QString error; // empty when all holds
    qsizetype rows = 0;
    int months = 0;
    int duplicates = 0;
};
MonthlyCheck checkMonthlyFiles(TForm1& loader, const QString& base, int channel,
                               const bvsim::LoggerConfig& logger);
