#pragma once
// `brenvale --list-ports` and `brenvale --link-port COMn ADAPTER`: the COMn
// links of the settings folder and the serial adapters of the computer, for
// a terminal or a script. Neither opens a device.
#include "app/command_line.h"
#include "link/serial_adapters.h"
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace app {

struct ListPorts {};
struct LinkPort {
    int number = 0;    // COMn
    QString adapter{}; // its by-id name or device node, with or without the folder
};
using PortCommand = std::variant<ListPorts, LinkPort>;

// Nothing when the arguments ask for neither command.
std::optional<std::variant<PortCommand, BadArguments>>
parsePortCommand(const QStringList& arguments);

struct CommandOutput {
    int exitCode = 0;
    QStringList out{}; // stdout lines
    QStringList err{}; // stderr lines; the last says why it failed
};

CommandOutput runPortCommand(const PortCommand& command, const bvlink::DeviceTree& tree,
                             const QString& settingsFolder);

} // namespace app
