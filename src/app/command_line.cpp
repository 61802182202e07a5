#include "app/command_line.h"
#include "app/application.h"
#include "app/date_formats.h"
#include "app/radio_group.h"
#include "chart/chart.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include <QAction>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QThread>
#include <QTimeEdit>
#include <cstdio>

namespace cli {
namespace {

const QStringList kRanges = {"all", "last-month", "last-week", "custom"};

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

std::optional<QDateTime> parseRangeTime(const QString& text) {
    static const QRegularExpression shape("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$");
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    const QDateTime value = QDateTime::fromString(text, "MM/dd/yyyy HH:mm:ss");
    if (!value.isValid())
        return std::nullopt;
    return value;
}

void echoToStderr(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Runs the event loop until the upload has ended: loaded, or the buttons back
// at rest after a failure, a cancel or the watchdog.
bool waitForUpload(TForm1& form) {
    while (true) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (form.DataLoaded.checked())
            return true;
        if (form.UploadData->isEnabled() && !form.AbortUpload->isEnabled())
            return false;
        QThread::msleep(20);
    }
}

bool portFailed(const platform::ScriptedDialogs& dialogs) {
    for (const QString& text : dialogs.messages())
        if (text.startsWith("Cannot open serial port: "))
            return true;
    return false;
}

} // namespace

QString usage() {
    return "usage: brenvale [FILE.bvx]\n"
           "       brenvale --headless [--channel 1|2]\n"
           "                [--range all|last-month|last-week|custom\n"
           "                 --from \"MM/DD/YYYY hh:mm:ss\" --to \"MM/DD/YYYY hh:mm:ss\"]\n"
           "                [--date-format \"PATTERN\"] [--user-name X] [--user-location Y]\n"
           "                [--bv-id Z] [--load FILE] [--upload] [--save FILE]\n"
           "                [--chart FILE.png|FILE.pdf]\n"
           "\n"
           "Without a window, runs the steps in the order load, upload, save, chart,\n"
           "with the settings of the current directory. Exit status: 0 when every\n"
           "step succeeded, 1 when one failed, 2 for bad arguments.\n";
}

std::variant<Options, BadArguments> parse(const QStringList& arguments) {
    Options options;
    const QStringList valued = {"--channel",     "--range",     "--from",          "--to",
                                "--date-format", "--user-name", "--user-location", "--bv-id",
                                "--load",        "--save",      "--chart"};
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

        if (!options.load.isEmpty()) {
            platform::runGuarded([&] { form.LoadDataFile(options.load); });
            ok = ok && form.Edit1.text() == "File loaded.";
        }
        if (options.upload) {
            platform::runGuarded([&] { form.UploadDataClick(); });
            ok = ok && !portFailed(dialogs) && waitForUpload(form);
        }
        if (!options.save.isEmpty()) {
            dialogs.saveAnswers.push_back(options.save);
            platform::runGuarded([&] {
                form.SavedataClick();
                if (options.userName)
                    verify.UserInfo->setText(*options.userName);
                if (options.userLocation)
                    verify.UserLocation->setText(*options.userLocation);
                if (options.bvId)
                    verify.BVInfo->setText(*options.bvId);
                verify.Button1Click();
            });
            ok = ok && form.Edit1.text() == "Data file and encrypted duplicate (*.bvx) saved.";
        }
        if (!options.chart.isEmpty()) {
            bool written = false;
            if (QFileInfo(options.chart).suffix().toLower() == "pdf") {
                dialogs.printToPdf = options.chart;
                platform::runGuarded([&] { form.Button1Click(); });
                written = QFileInfo(options.chart).size() > 0;
            } else {
                form.Chart1->replot();
                written = form.Chart1->grab().save(options.chart, "PNG");
            }
            echoToStderr(written ? "Chart written to " + options.chart
                                 : "Cannot write the chart to " + options.chart);
            ok = ok && written;
        }
        ok = ok && dialogs.errors().isEmpty();
        // The windows' own clean-up at exit is not part of the run's report.
        platform::setMessageEcho(nullptr);
    }
    platform::setDialogs(nullptr);
    return ok ? 0 : 1;
}

} // namespace cli
