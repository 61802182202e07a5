#pragma once
// The command line: without a window, it runs the program's own operations
// (Load Chart, Upload Data, Save Chart, Print Chart or a PNG of the chart,
// Export Report) in that order, answering the dialogs through their door.
#include "report/statistics.h"
#include <QDateTime>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace app {

struct Options {
    bool headless = false;
    bool help = false;
    bool version = false;
    QString startupFile;           // a data file named without an option (window mode)
    std::optional<int> channel;    // 1 or 2
    std::optional<int> rangeIndex; // 0 all, 1 last month, 2 last week, 3 custom
    QString from, to;              // "MM/DD/YYYY hh:mm:ss" for custom
    std::optional<QString> dateFormat;
    std::optional<QString> userName, userLocation, bvId;
    QString load;
    bool upload = false;
    QString save;
    QString chart;  // .png or .pdf
    QString report; // .pdf
    // Automatic downloads: "once" or an interval ("1h" ... "30d"), the base
    // name of the monthly files and the channels ("1", "2" or "both").
    QString autoInterval;
    QString autoFile;
    QString autoChannels = "both";
    // The statistics as JSON on stdout after the load or upload, and their choices.
    bool stats = false;
    report::StatisticsOptions statistics;
};

struct BadArguments {
    QString reason;
};

// The program's arguments, once the application has taken Qt's own options
// (-platform, -style, -reverse, ...) out of them.
std::variant<Options, BadArguments> parse(const QStringList& arguments);

// Read before the application exists, to choose its platform:
// whether the arguments ask for a run without a window;
bool asksHeadless(const QStringList& arguments);
// whether the window would have no display: the platform Qt is to use (its
// -platform option, else QT_QPA_PLATFORM, else the desktop's) is X11's or
// Wayland's, and neither DISPLAY nor WAYLAND_DISPLAY is set.
bool displayMissing(const QStringList& arguments, const QProcessEnvironment& environment);

// The time of --from or --to, "MM/DD/YYYY hh:mm:ss"; nothing when the text
// is not one.
std::optional<QDateTime> parseRangeTime(const QString& text);

QString usage();

// Runs the steps of a headless invocation; returns the exit code: 0 when
// every step succeeded, 1 otherwise. With --auto, runs the automatic
// downloads instead: once, or until SIGINT or SIGTERM.
int runHeadless(const Options& options);

} // namespace app
