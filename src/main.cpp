#include "app/application.h"
#include "app/command_line.h"
#include "app/port_commands.h"
#include "app/version.h"
#include "platform/formatting.h"
#include <QApplication>
#include <QDir>
#include <QProcessEnvironment>
#include <cstdio>
#include <vector>

namespace {

int refuse(const app::BadArguments& bad) {
    std::fprintf(stderr, "brenvale: %s\n%s", bad.reason.toLocal8Bit().constData(),
                 app::usage().toLocal8Bit().constData());
    return 2;
}

void printLines(std::FILE* stream, const QStringList& lines) {
    for (const QString& line : lines)
        std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
}

// --list-ports and --link-port need neither a window nor Qt's application.
int runPortCommand(const std::variant<app::PortCommand, app::BadArguments>& command) {
    if (const auto* bad = std::get_if<app::BadArguments>(&command))
        return refuse(*bad);
    const app::CommandOutput output = app::runPortCommand(
        std::get<app::PortCommand>(command), bvlink::DeviceTree::system(), QDir::currentPath());
    printLines(stdout, output.out);
    printLines(stderr, output.err);
    return output.exitCode;
}

// The arguments the application is created with, ended by a null pointer:
// the program's, and with `offscreen` that platform after any the user named
// (Qt takes the last -platform).
std::vector<char*> applicationArgv(int argc, char* argv[], bool offscreen) {
    static char platformOption[] = "-platform", offscreenName[] = "offscreen";
    std::vector<char*> qtArgv(argv, argv + argc);
    if (offscreen)
        qtArgv.insert(qtArgv.end(), {platformOption, offscreenName});
    qtArgv.push_back(nullptr);
    return qtArgv;
}

// Qt's messages while the application starts (no XDG_RUNTIME_DIR, a style
// it does not know), held until the arguments are read: help, version and bad
// arguments print what they printed before there was an application.
struct HeldMessage {
    QtMsgType type;
    const char* category;
    QString text;
};
std::vector<HeldMessage> g_heldMessages;
QtMessageHandler g_qtMessages = nullptr;

// Hands the held messages, and those to come, to Qt's own handler.
void releaseMessages() {
    qInstallMessageHandler(g_qtMessages);
    for (const HeldMessage& message : g_heldMessages)
        g_qtMessages(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category),
                     message.text);
    g_heldMessages.clear();
}

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    g_heldMessages.push_back({type, context.category, text});
    if (type == QtFatalMsg) // Qt ends the program after this one
        releaseMessages();
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const auto portCommand = app::parsePortCommand(arguments))
        return runPortCommand(*portCommand);

    // The platform is chosen before the application exists; the application
    // then takes Qt's own options out of argv, and the rest is parsed.
    const bool headless = app::asksHeadless(arguments);
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a display Qt would abort at start-up. Off screen, help, version
    // and bad arguments are still answered, and the window is refused below.
    const bool noDisplay =
        !headless && app::displayMissing(arguments, QProcessEnvironment::systemEnvironment());
    std::vector<char*> qtArgv = applicationArgv(argc, argv, noDisplay);
    int qtArgc = static_cast<int>(qtArgv.size()) - 1;

    g_qtMessages = qInstallMessageHandler(holdMessage);
    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName("Brenvale");
    // Ties the window to the installed menu entry (its icon in task bars).
    QApplication::setDesktopFileName("brenvale");
    const auto parsed = app::parse(QCoreApplication::arguments().mid(1));
    if (const auto* bad = std::get_if<app::BadArguments>(&parsed))
        return refuse(*bad);
    const app::Options& options = std::get<app::Options>(parsed);
    if (options.help) {
        std::fputs(app::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", app::versionCaption().toLocal8Bit().constData());
        return 0;
    }
    releaseMessages();
    platform::resetFormatSettingsFromSystem();
    if (options.headless)
        return app::runHeadless(options);
    if (noDisplay) {
        std::fputs("brenvale: no display to open the window on; use --headless for a run "
                   "without one\n",
                   stderr);
        return 1;
    }

    ApplicationWindows windows(options.startupFile);
    windows.form1.show();
    return QApplication::exec();
}
