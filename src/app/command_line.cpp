#include "app/command_line.h"
#include "app/application.h"
#include "app/date_formats.h"
#include "app/radio_group.h"
#include "chart/chart.h"
#include "chart/print_chart.h"
#include "link/link_state.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include <QAction>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimeEdit>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace cli {
namespace {

const QStringList kRanges = {"all", "last-month", "last-week", "custom"};
// The --auto values and the Auto Download items they choose; "once" takes the
// longest interval, so that no second download falls due while it runs.
const QStringList kAutoIntervals = {"1h", "4h", "8h", "24h", "7d", "30d", "once"};
const QStringList kAutoChannels = {"1", "2", "both"};

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int) {
    g_stopRequested = 1;
}

// Options that Qt's application object takes for itself, with one dash or
// two; those of the first list carry a value (the next argument, or after "=").
const QStringList kToolkitValued = {
    "style",   "stylesheet", "platform",        "platformpluginpath", "platformtheme",
    "plugin",  "session",    "qwindowgeometry", "qwindowicon",        "qwindowtitle",
    "display", "geometry",   "qmljsdebugger"};
const QStringList kToolkitFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// How many arguments from `i` on form one of Qt's options: 0, 1 or 2.
int toolkitOption(const QStringList& arguments, int i) {
    const QString& arg = arguments[i];
    if (!arg.startsWith('-'))
        return 0;
    const QString name = arg.mid(arg.startsWith("--") ? 2 : 1);
    const qsizetype equals = name.indexOf('=');
    if (equals >= 0)
        return kToolkitValued.contains(name.left(equals)) ? 1 : 0;
    if (kToolkitFlags.contains(name))
        return 1;
    if (kToolkitValued.contains(name))
        return i + 1 < arguments.size() ? 2 : 1;
    return 0;
}

// Without a display the window still lays itself out; the off-screen
// platform then reports at every change of its minimum size that it has no
// window manager to tell. That is no news for the user's log.
QtMessageHandler platformMessages = nullptr;
void quietPlatformNotice(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text == "This plugin does not support propagateSizeHints()")
        return;
    if (platformMessages)
        platformMessages(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

void echoToStderr(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Runs the event loop until the upload has ended: loaded, or "Abort Upload"
// disabled after a failure, a cancel or the watchdog ("Upload Data" stays
// disabled when the port could not be opened).
bool waitForUpload(TForm1& form) {
    while (true) {
        // Sleeps only until the next event: each of the reader's hand-overs
        // is taken as soon as it is posted.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (form.DataLoaded.checked())
            return true;
        if (!form.AbortUpload->isEnabled())
            return false;
    }
}

// The port layer's last message about a port that could not be opened.
QString portFailure(const platform::ScriptedDialogs& dialogs) {
    const QStringList messages = dialogs.messages();
    for (auto it = messages.rbegin(); it != messages.rend(); ++it)
        if (it->startsWith("Cannot open serial port: "))
            return *it;
    return "Cannot open serial port.";
}

// "Continue" in "Please Verify Information", with the user values given.
void continueVerification(TForm5& verify, const Options& options) {
    if (options.userName)
        verify.UserInfo->setText(*options.userName);
    if (options.userLocation)
        verify.UserLocation->setText(*options.userLocation);
    if (options.bvId)
        verify.BVInfo->setText(*options.bvId);
    verify.Button1Click();
}

// The automatic downloads as a user sets them up under Setup > Auto Download:
// the channel items, the interval item, "Continue" and the save dialog
// answered with the base name. Then the program's own scheduler runs them.
bool runAutomatic(TForm1& form, TForm5& verify, platform::ScriptedDialogs& dialogs,
                  const Options& options) {
    // Without an open port there is no clock to run the schedule.
    if (!form.link->portOpen()) {
        echoToStderr(portFailure(dialogs).section('\n', 0, 0));
        return false;
    }
    if (options.autoChannels == "1")
        form.C2->trigger();
    else if (options.autoChannels == "2")
        form.C1->trigger();
    QAction* const items[] = {form.Auto1hour, form.Auto4hours, form.Auto8hrs, form.Auto24hrs,
                              form.Auto7day,  form.Auto30day,  form.Auto30day};
    const bool once = options.autoInterval == "once";
    dialogs.saveAnswers.push_back(options.autoFile);
    platform::runGuarded([&] {
        items[kAutoIntervals.indexOf(options.autoInterval)]->trigger();
        continueVerification(verify, options);
    });
    if (form.Edit2.text() != options.autoFile)
        return false;

    bool ok = true;
    int ended = 0;
    QString failure;
    QObject::connect(&form, &TForm1::automaticDownloadEnded, &form,
                     [&](int channel, bool succeeded) {
                         ++ended;
                         if (!succeeded) {
                             ok = false;
                             failure = QString("Automatic download of channel %1 failed: %2")
                                           .arg(channel)
                                           .arg(form.Edit1.text());
                         }
                     });
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    // The first download is due at once; a run from cron must not wait for
    // ever when the clock test never starts it.
    QElapsedTimer waiting;
    waiting.start();
    // Wakes the loop now and then to look at a stop request; otherwise it
    // sleeps only until the next event, so the reader's hand-overs go on at once.
    QTimer wake;
    wake.start(50);
    while (!g_stopRequested && !(once && ended > 0 && !form.AutomaticDownloadRunning)) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (once && ended == 0 && !form.AutomaticDownloadRunning && waiting.elapsed() > 30000) {
            echoToStderr("The automatic download did not start.");
            return false;
        }
    }
    if (once && g_stopRequested && (ended == 0 || form.AutomaticDownloadRunning)) {
        ok = false;
        failure = "Stopped before the automatic download had ended.";
    }
    if (!failure.isEmpty())
        echoToStderr(failure);
    return once ? ok : true;
}

} // namespace

QString usage() {
    return "usage: brenvale [FILE.bvx]\n"
           "       brenvale --help | --version\n"
           "       brenvale --headless [--channel 1|2]\n"
           "                [--range all|last-month|last-week|custom\n"
           "                 --from \"MM/DD/YYYY hh:mm:ss\" --to \"MM/DD/YYYY hh:mm:ss\"]\n"
           "                [--date-format \"PATTERN\"] [--user-name X] [--user-location Y]\n"
           "                [--bv-id Z] [--load FILE] [--upload] [--save FILE]\n"
           "                [--chart FILE.png|FILE.pdf]\n"
           "       brenvale --headless --auto once|1h|4h|8h|24h|7d|30d --auto-file BASE\n"
           "                [--auto-channels 1|2|both] [--user-name X] [--user-location Y]\n"
           "                [--bv-id Z]\n"
           "\n"
           "Without a window, runs the steps in the order load, upload, save, chart,\n"
           "with the settings of the current directory; a step that fails ends the\n"
           "run. Exit status: 0 when every step succeeded, 1 when one failed, 2 for\n"
           "bad arguments.\n"
           "With --auto, downloads automatically into the monthly files of BASE: once\n"
           "(exit 0 when every channel was saved or had nothing new), or at the interval\n"
           "until SIGINT or SIGTERM (exit 0).\n";
}

std::optional<QDateTime> parseRangeTime(const QString& text) {
    static const QRegularExpression shape("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$");
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    const QDateTime value = QDateTime::fromString(text, "MM/dd/yyyy HH:mm:ss");
    if (!value.isValid())
        return std::nullopt;
    return value;
}

std::variant<Options, BadArguments> parse(const QStringList& arguments) {
    Options options;
    const QStringList valued = {"--channel",     "--range",        "--from",          "--to",
                                "--date-format", "--user-name",    "--user-location", "--bv-id",
                                "--load",        "--save",         "--chart",         "--auto",
                                "--auto-file",   "--auto-channels"};
    bool headlessOnly = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (const int toolkit = toolkitOption(arguments, i)) {
            i += toolkit - 1; // the application object applies it
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        if (arg == "--headless") {
            options.headless = true;
            continue;
        }
        if (arg == "--upload") {
            options.upload = headlessOnly = true;
            continue;
        }
        if (valued.contains(arg)) {
            if (i + 1 >= arguments.size())
                return BadArguments{arg + " needs a value"};
            const QString value = arguments[++i];
            headlessOnly = true;
            if (arg == "--channel") {
                if (value != "1" && value != "2")
                    return BadArguments{"--channel takes 1 or 2"};
                options.channel = value.toInt();
            } else if (arg == "--range") {
                if (!kRanges.contains(value))
                    return BadArguments{"--range takes all, last-month, last-week or custom"};
                options.rangeIndex = static_cast<int>(kRanges.indexOf(value));
            } else if (arg == "--from" || arg == "--to") {
                if (!parseRangeTime(value))
                    return BadArguments{arg + " takes \"MM/DD/YYYY hh:mm:ss\""};
                (arg == "--from" ? options.from : options.to) = value;
            } else if (arg == "--date-format") {
                if (std::find(dateformats::kFormats.begin(), dateformats::kFormats.end(), value) ==
                    dateformats::kFormats.end())
                    return BadArguments{"--date-format takes one of the eight date formats"};
                options.dateFormat = value;
            } else if (arg == "--user-name") {
                options.userName = value;
            } else if (arg == "--user-location") {
                options.userLocation = value;
            } else if (arg == "--bv-id") {
                options.bvId = value;
            } else if (arg == "--auto") {
                if (!kAutoIntervals.contains(value))
                    return BadArguments{"--auto takes once, 1h, 4h, 8h, 24h, 7d or 30d"};
                options.autoInterval = value;
            } else if (arg == "--auto-file") {
                if (value.isEmpty() || value == "0")
                    return BadArguments{"--auto-file needs a file name"};
                options.autoFile = value;
            } else if (arg == "--auto-channels") {
                if (!kAutoChannels.contains(value))
                    return BadArguments{"--auto-channels takes 1, 2 or both"};
                options.autoChannels = value;
            } else if (arg == "--load") {
                options.load = value;
            } else if (arg == "--save") {
                options.save = value;
            } else {
                const QString suffix = QFileInfo(value).suffix().toLower();
                if (suffix != "png" && suffix != "pdf")
                    return BadArguments{"--chart takes a .png or .pdf file name"};
                options.chart = value;
            }
            continue;
        }
        if (arg.startsWith("--"))
            return BadArguments{"unknown option " + arg};
        // The first file named is opened; further ones are ignored.
        if (options.startupFile.isEmpty())
            options.startupFile = arg;
    }
    if (headlessOnly && !options.headless)
        return BadArguments{"these options need --headless"};
    if (options.headless && !options.startupFile.isEmpty())
        return BadArguments{"name the file to load with --load"};
    if (options.autoInterval.isEmpty() != options.autoFile.isEmpty())
        return BadArguments{"--auto goes with --auto-file"};
    if (!options.autoInterval.isEmpty() &&
        (options.upload || !options.load.isEmpty() || !options.save.isEmpty() ||
         !options.chart.isEmpty() || options.channel || options.rangeIndex))
        return BadArguments{"--auto runs by itself, without the other steps"};
    const bool custom = options.rangeIndex == 3;
    if (custom != (!options.from.isEmpty() && !options.to.isEmpty()) ||
        (!custom && (!options.from.isEmpty() || !options.to.isEmpty())))
        return BadArguments{"--range custom goes with --from and --to"};
    return options;
}

int runHeadless(const Options& options) {
    platform::ScriptedDialogs dialogs;
    platform::setDialogs(&dialogs);
    platform::setMessageEcho(echoToStderr);
    platformMessages = qInstallMessageHandler(quietPlatformNotice);

    bool ok = true;
    {
        ApplicationWindows windows;
        TForm1& form = windows.form1;
        TForm5& verify = windows.form5;
        form.show();

        if (options.channel)
            (*options.channel == 1 ? form.RadioButton1 : form.RadioButton2)->setChecked(true);
        if (options.rangeIndex) {
            form.upload_range_group->setItemIndex(*options.rangeIndex);
            if (*options.rangeIndex == 3) {
                const QDateTime from = *parseRangeTime(options.from);
                const QDateTime to = *parseRangeTime(options.to);
                form.Startdate->setDate(from.date());
                form.Starttime->setTime(from.time());
                form.Enddate->setDate(to.date());
                form.Endtime->setTime(to.time());
            }
        }
        if (options.dateFormat) {
            const auto* item = std::find(dateformats::kFormats.begin(), dateformats::kFormats.end(),
                                         *options.dateFormat);
            form.DateFormatItems[item - dateformats::kFormats.begin()]->trigger();
        }

        // What start-up reported (the port COM1 before the stored one) is
        // not a step's failure.
        const qsizetype errorsBeforeSteps = dialogs.errors().size();
        if (!options.load.isEmpty()) {
            platform::runGuarded([&] { form.LoadDataFile(options.load); });
            ok = ok && form.Edit1.text() == "File loaded.";
        }
        // A step that failed ends the run: its failure is the last line written.
        if (ok && options.upload) {
            platform::runGuarded([&] { form.UploadDataClick(); });
            ok = waitForUpload(form);
        }
        if (ok && !options.autoInterval.isEmpty())
            ok = runAutomatic(form, verify, dialogs, options);
        if (ok && !options.save.isEmpty()) {
            dialogs.saveAnswers.push_back(options.save);
            platform::runGuarded([&] {
                form.SavedataClick();
                continueVerification(verify, options);
            });
            ok = ok && form.Edit1.text() == "Data file and encrypted duplicate (*.bvx) saved.";
        }
        if (ok && !options.chart.isEmpty()) {
            const bool written =
                ExportChart(*form.Chart1, options.chart, form.LockImage->isVisible(),
                            [&form] { form.UpdateFooter(); });
            echoToStderr(written ? "Chart written to " + options.chart
                                 : "Cannot write the chart to " + options.chart);
            ok = ok && written;
        }
        ok = ok && dialogs.errors().size() == errorsBeforeSteps;
        // The windows' own clean-up at exit is not part of the run's report.
        platform::setMessageEcho(nullptr);
    }
    platform::setDialogs(nullptr);
    return ok ? 0 : 1;
}

} // namespace cli
