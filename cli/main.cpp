// vendrix-cli: the editor's core, for scripts and for checking the core from outside.
#include "cli/CliSupport.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace vendrix::cli;

std::string toolHelp() {
    std::string text = "Usage: vendrix-cli COMMAND [OPTIONS] [ARGS]\n"
                       "       vendrix-cli --help | --version\n\n"
                       "The Vendrix editor's core on the command line. Commands:\n";
    for (const auto& [name, command] : registeredCommands())
        text += "  " + name + std::string(name.size() < 10 ? 10 - name.size() : 1, ' ') +
                command.summary + '\n';
    text += "\n`vendrix-cli COMMAND --help` describes a command. Every command takes --help and\n"
            "--version; \"--\" ends the options, so a FILE that starts with \"-\" follows it.\n"
            "Files written with -o are replaced atomically: an existing file keeps its mode\n"
            "(and its owner and group where permitted), a new one gets 0666 less the umask.\n\n"
            "Exit status: 0 done, 1 failure (including output that could not be written),\n"
            "2 usage error; commands name further ones.\n";
    return text;
}

int usage(const std::string& message) {
    std::cerr << "vendrix-cli: " << message << "\n\n" << toolHelp();
    return kExitUsage;
}

int run(std::vector<std::string> args) {
    if (!args.empty() && args[0] == "--")
        args.erase(args.begin());
    if (args.empty()) {
        std::cerr << toolHelp();
        return kExitUsage;
    }
    const std::string& first = args[0];
    const auto& commands = registeredCommands();
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && args.size() > 1) {
            auto it = commands.find(args[1]);
            if (it == commands.end())
                return usage("unknown command " + args[1]);
            writeStdout(it->second.usage);
        } else {
            writeStdout(toolHelp());
        }
        return kExitOK;
    }
    if (first == "--version") {
        writeStdout(versionLine());
        return kExitOK;
    }
    if (first.size() > 1 && first[0] == '-')
        return usage("unknown option " + first);
    auto it = commands.find(first);
    if (it == commands.end())
        return usage("unknown command " + first);
    return it->second.run(std::span<const std::string>(args).subspan(1));
}

} // namespace

int main(int argc, char** argv) {
    const int status = run(std::vector<std::string>(argv + 1, argv + argc));
    finishStdout();
    return status;
}
