#include "app/command_line.h"
#include "app/application.h"
#include "app/date_formats.h"
#include "app/radio_group.h"
#include "app/statistics_arguments.h"
#include "chart/chart.h"
#include "chart/print_chart.h"
#include "link/link_state.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include <QAction>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimeEdit>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>

namespace app {
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

// An option that takes a value: it checks the value and stores it, or
// returns what the option takes.
struct ValuedOption {
    QString name;
    std::function<std::optional<QString>(Options&, const QString&)> apply;
};

std::optional<QString> rangeTime(QString& field, const QString& name, const QString& value) {
    if (!parseRangeTime(value))
        return "--" + name + " takes \"MM/DD/YYYY hh:mm:ss\"";
    field = value;
    return std::nullopt;
}

// An option whose value is stored as given.
template <typename Field> auto storeIn(Field Options::*field) {
    return [field](Options& options, const QString& value) {
        options.*field = value;
        return std::optional<QString>();
    };
}

// An option whose value is one of `values`.
auto oneOf(const QStringList& values, QString Options::*field, const char* refusal) {
    return [&values, field, refusal](Options& options,
                                     const QString& value) -> std::optional<QString> {
        if (!values.contains(value))
            return refusal;
        options.*field = value;
        return std::nullopt;
    };
}

// In the order in which their values are checked.
const std::vector<ValuedOption>& valuedOptions() {
    static const std::vector<ValuedOption> options = {
        {"channel",
         [](Options& o, const QString& v) -> std::optional<QString> {
             if (v != "1" && v != "2")
                 return "--channel takes 1 or 2";
             o.channel = v.toInt();
             return std::nullopt;
         }},
        {"range",
         [](Options& o, const QString& v) -> std::optional<QString> {
             if (!kRanges.contains(v))
                 return "--range takes all, last-month, last-week or custom";
             o.rangeIndex = static_cast<int>(kRanges.indexOf(v));
             return std::nullopt;
         }},
        {"from", [](Options& o, const QString& v) { return rangeTime(o.from, "from", v); }},
        {"to", [](Options& o, const QString& v) { return rangeTime(o.to, "to", v); }},
        {"date-format",
         [](Options& o, const QString& v) -> std::optional<QString> {
             if (std::find(app::kFormats.begin(), app::kFormats.end(), v) == app::kFormats.end())
                 return "--date-format takes one of the eight date formats";
             o.dateFormat = v;
             return std::nullopt;
         }},
        {"user-name", storeIn(&Options::userName)},
        {"user-location", storeIn(&Options::userLocation)},
        {"bv-id", storeIn(&Options::bvId)},
        {"load", storeIn(&Options::load)},
        {"save", storeIn(&Options::save)},
        {"chart",
         [](Options& o, const QString& v) -> std::optional<QString> {
             const QString suffix = QFileInfo(v).suffix().toLower();
             if (suffix != "png" && suffix != "pdf")
                 return "--chart takes a .png or .pdf file name";
             o.chart = v;
             return std::nullopt;
         }},
        {"report",
         [](Options& o, const QString& v) -> std::optional<QString> {
             if (QFileInfo(v).suffix().toLower() != "pdf")
                 return "--report takes a .pdf file name";
             o.report = v;
             return std::nullopt;
         }},
        {"unit", [](Options& o, const QString& v) { return applyUnit(o.statistics, v); }},
        {"limits", [](Options& o, const QString& v) { return applyLimits(o.statistics, v); }},
        {"mkt-energy",
         [](Options& o, const QString& v) { return applyActivationEnergy(o.statistics, v); }},
        {"auto", oneOf(kAutoIntervals, &Options::autoInterval,
                       "--auto takes once, 1h, 4h, 8h, 24h, 7d or 30d")},
        {"auto-file",
         [](Options& o, const QString& v) -> std::optional<QString> {
             if (v.isEmpty() || v == "0")
                 return "--auto-file needs a file name";
             o.autoFile = v;
             return std::nullopt;
         }},
        {"auto-channels",
         oneOf(kAutoChannels, &Options::autoChannels, "--auto-channels takes 1, 2 or both")},
    };
    return options;
}

// The program's options, in the syntax QCommandLineParser reads: "--name
// value", "--name=value", and one dash as well as two.
void declareOptions(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({{{"h", "help"}, QString()},
                       {"version", QString()},
                       {"headless", QString()},
                       {"upload", QString()}});
    parser.addOption({"stats", QString()});
    for (const ValuedOption& option : valuedOptions())
        parser.addOption({option.name, QString(), "value"});
}

// Why the parser refused the arguments, in the words of this program.
QString refusal(const QCommandLineParser& parser, const QStringList& arguments) {
    if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
        // Named as typed: one dash or two, with its value after "=".
        const auto typed = std::find_if(arguments.begin(), arguments.end(), [&](const QString& a) {
            return a.startsWith('-') &&
                   a.section('=', 0, 0).mid(a.startsWith("--") ? 2 : 1) == unknown.first();
        });
        return "unknown option " + (typed != arguments.end() ? *typed : "--" + unknown.first());
    }
    // Otherwise an option whose value is missing: the last argument.
    if (!arguments.isEmpty() && arguments.last().startsWith('-') && !arguments.last().contains('='))
        return arguments.last() + " needs a value";
    return parser.errorText();
}

// Stores the values of the options given; the first value refused ends the parse.
std::optional<QString> applyValues(const QCommandLineParser& parser, Options& options) {
    for (const ValuedOption& option : valuedOptions())
        if (parser.isSet(option.name))
            if (std::optional<QString> refused = option.apply(options, parser.value(option.name)))
                return refused;
    return std::nullopt;
}

bool stepOptionGiven(const QCommandLineParser& parser) {
    if (parser.isSet("upload"))
        return true;
    return std::any_of(valuedOptions().begin(), valuedOptions().end(),
                       [&](const ValuedOption& option) { return parser.isSet(option.name); });
}

// The options that go together, and those that do not.
std::optional<QString> checkCombination(const Options& options, bool stepOptions) {
    if (stepOptions && !options.headless)
        return "these options need --headless";
    if (options.headless && !options.startupFile.isEmpty())
        return "name the file to load with --load";
    if (options.autoInterval.isEmpty() != options.autoFile.isEmpty())
        return "--auto goes with --auto-file";
    if (!options.autoInterval.isEmpty() &&
        (options.upload || !options.load.isEmpty() || !options.save.isEmpty() ||
         !options.chart.isEmpty() || !options.report.isEmpty() || options.channel ||
         options.rangeIndex))
        return "--auto runs by itself, without the other steps";
    const bool custom = options.rangeIndex == 3;
    if (custom != (!options.from.isEmpty() && !options.to.isEmpty()) ||
        (!custom && (!options.from.isEmpty() || !options.to.isEmpty())))
        return "--range custom goes with --from and --to";
    return std::nullopt;
}

// The statistics need data, and their choices the statistics or the report.
std::optional<QString> checkStatistics(const QCommandLineParser& parser, const Options& options) {
    if (options.stats && options.load.isEmpty() && !options.upload)
        return "--stats goes with --load or --upload";
    const bool choices =
        parser.isSet("unit") || parser.isSet("limits") || parser.isSet("mkt-energy");
    if (choices && !options.stats && options.report.isEmpty())
        return "--unit, --limits and --mkt-energy go with --stats or --report";
    return std::nullopt;
}

// The statistics of what the store holds, one JSON object on one line of stdout.
void printStatistics(const TForm1& form, const report::StatisticsOptions& choices) {
    const report::Statistics statistics =
        report::computeStatistics(form.store, form.SamplesPerHour, form.RHBV.checked(), choices);
    const QByteArray json =
        QJsonDocument(report::statisticsJson(statistics)).toJson(QJsonDocument::Compact);
    std::fputs((json + '\n').constData(), stdout);
    std::fflush(stdout);
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

// "Continue" in "Please Verify Information", with the user values given.
FileOutcome continueVerification(TForm5& verify, const Options& options) {
    if (options.userName)
        verify.UserInfo->setText(*options.userName);
    if (options.userLocation)
        verify.UserLocation->setText(*options.userLocation);
    if (options.bvId)
        verify.BVInfo->setText(*options.bvId);
    return verify.Button1Click();
}

// The automatic downloads as a user sets them up under Setup > Auto Download:
// the channel items, the interval item, "Continue" and the save dialog
// answered with the base name.
bool setUpAutomatic(TForm1& form, TForm5& verify, platform::ScriptedDialogs& dialogs,
                    const Options& options) {
    if (options.autoChannels == "1")
        form.C2->trigger();
    else if (options.autoChannels == "2")
        form.C1->trigger();
    QAction* const items[] = {form.Auto1hour, form.Auto4hours, form.Auto8hrs, form.Auto24hrs,
                              form.Auto7day,  form.Auto30day,  form.Auto30day};
    dialogs.saveAnswers.push_back(options.autoFile);
    FileOutcome named = FileOutcome::Failed;
    platform::runGuarded([&] {
        items[kAutoIntervals.indexOf(options.autoInterval)]->trigger();
        named = continueVerification(verify, options);
    });
    return named == FileOutcome::Done;
}

// Runs the program's own scheduler: until the first download has ended for
// "once", else until SIGINT or SIGTERM. Returns whether every download ended
// well, and otherwise writes why.
bool runScheduler(TForm1& form, const Options& options) {
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
    const bool once = options.autoInterval == "once";
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

bool runAutomatic(TForm1& form, TForm5& verify, platform::ScriptedDialogs& dialogs,
                  const Options& options) {
    // Without an open port there is no clock to run the schedule.
    if (!form.link->portOpen()) {
        const QString& failure = form.LastPortOpening.failure;
        echoToStderr(failure.isEmpty() ? "Cannot open serial port." : failure.section('\n', 0, 0));
        return false;
    }
    return setUpAutomatic(form, verify, dialogs, options) && runScheduler(form, options);
}

// The window's settings that the options choose: channel, range, date format.
void applySettings(TForm1& form, const Options& options) {
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
        const auto* item =
            std::find(app::kFormats.begin(), app::kFormats.end(), *options.dateFormat);
        form.DateFormatItems[item - app::kFormats.begin()]->trigger();
    }
}

// A step that failed ends the run: its failure is the last line written.
bool runSteps(ApplicationWindows& windows, platform::ScriptedDialogs& dialogs,
              const Options& options) {
    TForm1& form = windows.form1;
    if (!options.load.isEmpty()) {
        FileOutcome loaded = FileOutcome::Failed;
        platform::runGuarded([&] { loaded = form.LoadDataFile(options.load); });
        if (loaded != FileOutcome::Done)
            return false;
    }
    if (options.upload) {
        platform::runGuarded([&] { form.UploadDataClick(); });
        if (!waitForUpload(form))
            return false;
    }
    if (options.stats)
        printStatistics(form, options.statistics);
    if (!options.autoInterval.isEmpty() && !runAutomatic(form, windows.form5, dialogs, options))
        return false;
    if (!options.save.isEmpty()) {
        dialogs.saveAnswers.push_back(options.save);
        FileOutcome saved = FileOutcome::Failed;
        platform::runGuarded([&] {
            form.SavedataClick();
            saved = continueVerification(windows.form5, options);
        });
        if (saved != FileOutcome::Done)
            return false;
    }
    if (!options.chart.isEmpty()) {
        const bool written = ExportChart(*form.Chart1, options.chart, form.LockImage->isVisible(),
                                         [&form] { form.UpdateFooter(); });
        echoToStderr(written ? "Chart written to " + options.chart
                             : "Cannot write the chart to " + options.chart);
        if (!written)
            return false;
    }
    if (!options.report.isEmpty()) {
        // The chart of the report shows the unit of its statistics, as
        // "Show Temp in F" clicked to match would.
        bool written = false;
        platform::runGuarded([&] {
            form.TempInF->setChecked(options.statistics.fahrenheit);
            written = form.WriteReport(options.report, options.statistics);
        });
        echoToStderr(written ? "Report written to " + options.report
                             : "Cannot write the report to " + options.report);
        return written;
    }
    return true;
}

} // namespace

QString usage() {
    return "usage: brenvale [FILE.bvx]\n"
           "       brenvale --help | --version\n"
           "       brenvale --list-ports\n"
           "       brenvale --link-port COMn ADAPTER\n"
           "       brenvale --headless [--channel 1|2]\n"
           "                [--range all|last-month|last-week|custom\n"
           "                 --from \"MM/DD/YYYY hh:mm:ss\" --to \"MM/DD/YYYY hh:mm:ss\"]\n"
           "                [--date-format \"PATTERN\"] [--user-name X] [--user-location Y]\n"
           "                [--bv-id Z] [--load FILE] [--upload] [--save FILE]\n"
           "                [--chart FILE.png|FILE.pdf] [--report FILE.pdf] [--stats]\n"
           "                [--unit C|F] [--limits LOW:HIGH] [--mkt-energy KJ_PER_MOL]\n"
           "       brenvale --headless --auto once|1h|4h|8h|24h|7d|30d --auto-file BASE\n"
           "                [--auto-channels 1|2|both] [--user-name X] [--user-location Y]\n"
           "                [--bv-id Z]\n"
           "\n"
           "Without a window, runs the steps in the order load, upload, save, chart,\n"
           "report, with the settings of the current directory; a step that fails\n"
           "ends the run. Exit status: 0 when every step succeeded, 1 when one\n"
           "failed, 2 for bad arguments.\n"
           "With --stats, prints the statistics of the loaded or uploaded data as one\n"
           "JSON object on stdout. They and the report's (with its chart) have\n"
           "temperatures in F (or C with --unit C), the time below LOW and above HIGH\n"
           "of --limits (in that unit; either may be left out, as in :46.4), and the\n"
           "mean kinetic temperature with the activation energy of --mkt-energy\n"
           "(default 83.144 kJ/mol); these three go with --stats, --report or both.\n"
           "With --auto, downloads automatically into the monthly files of BASE: once\n"
           "(exit 0 when every channel was saved or had nothing new), or at the interval\n"
           "until SIGINT or SIGTERM (exit 0).\n"
           "--list-ports prints the COMn links of the current directory with their\n"
           "state, then the serial adapters of this computer; --link-port links COMn\n"
           "to an adapter (its /dev/serial/by-id name or device node). Exit status:\n"
           "0 done, 1 failed (the last line says why), 2 bad arguments.\n";
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

bool asksHeadless(const QStringList& arguments) {
    // As the parser reads it: one dash or two, before any "--".
    const QStringList options = arguments.mid(0, arguments.indexOf("--"));
    return options.contains("--headless") || options.contains("-headless");
}

bool displayMissing(const QStringList& arguments, const QProcessEnvironment& environment) {
    if (!environment.value("DISPLAY").isEmpty() || !environment.value("WAYLAND_DISPLAY").isEmpty())
        return false;
    // Qt takes the last -platform (one dash or two) over the variable.
    QString platform = environment.value("QT_QPA_PLATFORM");
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == "-platform" || arguments[i] == "--platform")
            platform = arguments[i + 1];
    return platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
}

std::variant<Options, BadArguments> parse(const QStringList& arguments) {
    QCommandLineParser parser;
    declareOptions(parser);
    if (!parser.parse(QStringList{"brenvale"} + arguments))
        return BadArguments{refusal(parser, arguments)};

    Options options;
    options.help = parser.isSet("help");
    options.version = parser.isSet("version");
    options.headless = parser.isSet("headless");
    options.upload = parser.isSet("upload");
    options.stats = parser.isSet("stats");
    if (const std::optional<QString> refused = applyValues(parser, options))
        return BadArguments{*refused};
    // The first file named is opened; further ones are ignored.
    options.startupFile = parser.positionalArguments().value(0);
    if (const std::optional<QString> refused = checkCombination(options, stepOptionGiven(parser)))
        return BadArguments{*refused};
    if (const std::optional<QString> refused = checkStatistics(parser, options))
        return BadArguments{*refused};
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
        windows.form1.show();
        applySettings(windows.form1, options);
        // What start-up reported (the port COM1 before the stored one) is
        // not a step's failure.
        const qsizetype errorsBeforeSteps = dialogs.errors().size();
        ok = runSteps(windows, dialogs, options) && dialogs.errors().size() == errorsBeforeSteps;
        // The windows' own clean-up at exit is not part of the run's report.
        platform::setMessageEcho(nullptr);
    }
    platform::setDialogs(nullptr);
    return ok ? 0 : 1;
}

} // namespace app
