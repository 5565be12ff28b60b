// vendrix-cli: the editor's core, for scripts and for checking the core from outside.
#include "cli/CliSupport.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

void printToolHelp(std::ostream& out) {
    out << "Usage: vendrix-cli COMMAND [OPTIONS] [ARGS]\n\n"
           "The Vendrix editor's core on the command line. Commands:\n";
    for (const auto& [name, command] : vendrix::cli::registeredCommands())
        out << "  " << name << std::string(name.size() < 10 ? 10 - name.size() : 1, ' ')
            << command.summary << '\n';
    out << "\n`vendrix-cli COMMAND --help` describes a command.\n";
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printToolHelp(std::cerr);
        return vendrix::cli::kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printToolHelp(std::cout);
        return vendrix::cli::kExitOK;
    }
    const auto& commands = vendrix::cli::registeredCommands();
    auto it = commands.find(args[0]);
    if (it == commands.end()) {
        std::cerr << "vendrix-cli: unknown command " << args[0] << "\n\n";
        printToolHelp(std::cerr);
        return vendrix::cli::kExitUsage;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& arg : rest) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            std::cout << it->second.usage;
            return vendrix::cli::kExitOK;
        }
    }
    return it->second.run(rest);
}
