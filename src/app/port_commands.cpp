#include "app/port_commands.h"
#include <QFileInfo>

namespace app {
namespace {

// "--name" or "-name", as the other options are taken.
bool isOption(const QString& argument, const QString& name) {
    return argument == "--" + name || argument == "-" + name;
}

QString comLinkLine(const bvlink::ComLink& link) {
    const QString name = "COM" + QString::number(link.number);
    if (!link.isLink)
        return name + " is not a link";
    return name + " -> " + link.target + ": " + bvlink::stateWord(link.state);
}

QString adapterLine(const bvlink::Adapter& adapter) {
    QString line = adapter.stableName;
    if (!adapter.node.isEmpty() && adapter.node != adapter.stableName)
        line += " (" + adapter.node + ")";
    line += ": " + bvlink::describe(adapter);
    if (adapter.state != bvlink::OpenError::None)
        line += ", " + bvlink::stateWord(adapter.state);
    line += adapter.linkedPort.isEmpty() ? ", not linked" : ", linked to " + adapter.linkedPort;
    return line;
}

CommandOutput listPorts(const bvlink::DeviceTree& tree, const QString& settingsFolder) {
    const bvlink::PortSurvey survey = bvlink::surveyPorts(tree, settingsFolder);
    CommandOutput output;
    if (survey.links.empty())
        output.out << "No COMn links in " + settingsFolder;
    for (const bvlink::ComLink& link : survey.links)
        output.out << comLinkLine(link);
    if (survey.adapters.empty())
        output.out << "No serial adapters found";
    for (const bvlink::Adapter& adapter : survey.adapters)
        output.out << adapterLine(adapter);
    return output;
}

CommandOutput linkPort(const LinkPort& command, const bvlink::DeviceTree& tree,
                       const QString& settingsFolder) {
    const auto failure = [](const QString& why) {
        return CommandOutput{.exitCode = 1, .out = {}, .err = {why}};
    };
    const bvlink::PortSurvey survey = bvlink::surveyPorts(tree, settingsFolder);
    const bvlink::Adapter* adapter = bvlink::findAdapter(survey.adapters, command.adapter);
    if (!adapter) {
        if (bvlink::isConsoleName(tree, QFileInfo(command.adapter).fileName()))
            return failure(command.adapter +
                           " is the system console, which is never used as a port.");
        return failure("No serial adapter " + command.adapter +
                       " on this computer (brenvale --list-ports lists them).");
    }
    const bvlink::LinkOutcome outcome =
        bvlink::linkComPort(settingsFolder, command.number, tree.hostPath(adapter->stableName));
    if (outcome.kind != bvlink::LinkOutcome::Linked)
        return failure(bvlink::linkFailureText(outcome));
    return {
        .out = {QString("COM%1 -> %2").arg(command.number).arg(tree.hostPath(adapter->stableName))},
        .err = {}};
}

} // namespace

std::optional<std::variant<PortCommand, BadArguments>>
parsePortCommand(const QStringList& arguments) {
    const bool list = std::any_of(arguments.begin(), arguments.end(),
                                  [](const QString& a) { return isOption(a, "list-ports"); });
    const auto linkAt = std::find_if(arguments.begin(), arguments.end(),
                                     [](const QString& a) { return isOption(a, "link-port"); });
    const bool link = linkAt != arguments.end();
    if (!list && !link)
        return std::nullopt;
    if (list && link)
        return BadArguments{"--list-ports and --link-port go alone"};
    if (list) {
        if (arguments.size() != 1)
            return BadArguments{"--list-ports runs by itself"};
        return PortCommand{ListPorts{}};
    }
    if (arguments.size() != 3 || linkAt != arguments.begin())
        return BadArguments{"--link-port takes COMn and ADAPTER, and runs by itself"};
    const int number = bvlink::comNumber(arguments[1]);
    if (number == 0)
        return BadArguments{"--link-port takes a port COM1 ... COM255, not " + arguments[1]};
    if (arguments[2].isEmpty())
        return BadArguments{"--link-port needs an adapter"};
    return PortCommand{LinkPort{.number = number, .adapter = arguments[2]}};
}

CommandOutput runPortCommand(const PortCommand& command, const bvlink::DeviceTree& tree,
                             const QString& settingsFolder) {
    if (const auto* link = std::get_if<LinkPort>(&command))
        return linkPort(*link, tree, settingsFolder);
    return listPorts(tree, settingsFolder);
}

} // namespace app
