#include "app/application.h"
#include "app/command_line.h"
#include "app/port_commands.h"
#include "app/version.h"
#include "platform/formatting.h"
#include <QApplication>
#include <QDir>
#include <cstdio>

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

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const auto portCommand = app::parsePortCommand(arguments))
        return runPortCommand(*portCommand);
    const auto parsed = app::parse(arguments);
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
    if (options.headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName("Brenvale");
    // Ties the window to the installed menu entry (its icon in task bars).
    QApplication::setDesktopFileName("brenvale");
    platform::resetFormatSettingsFromSystem();
    if (options.headless)
        return app::runHeadless(options);

    ApplicationWindows windows(options.startupFile);
    windows.form1.show();
    return QApplication::exec();
}
