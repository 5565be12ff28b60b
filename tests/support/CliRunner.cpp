#include "support/CliRunner.h"

#include "support/TestSupport.h"

#include <cstdlib>
#include <sys/wait.h>
#include <utility>

namespace vendrix::test {

CliRunOptions withInput(std::string input) {
    CliRunOptions options;
    options.input = std::move(input);
    return options;
}

CliRunOptions withEnvironment(std::string name, std::string value) {
    CliRunOptions options;
    options.environment.emplace_back(std::move(name), std::move(value));
    return options;
}

std::string shellQuoted(std::string_view argument) {
    std::string quoted = "'";
    for (char c : argument) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

CliRun CliRunner::run(std::string_view arguments, const CliRunOptions& options) const {
    // Every stream goes through a file, so a large output can never stall the child.
    TempDir dir;
    const auto out = dir.path() / "stdout", err = dir.path() / "stderr";
    std::string command;
    for (const auto& [name, value] : options.environment)
        command += name + "=" + shellQuoted(value) + " ";
    command += shellQuoted(m_program.string());
    if (!arguments.empty()) {
        command += ' ';
        command += arguments;
    }
    if (options.input) {
        const auto in = dir.path() / "stdin";
        writeFileBytes(in, *options.input);
        command += " <" + shellQuoted(in.string());
    } else {
        command += " </dev/null";
    }
    command += " >" + shellQuoted(out.string()) + " 2>" + shellQuoted(err.string());
    const int raw = std::system(command.c_str());
    CliRun result;
    result.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFileBytes(out);
    result.err = readFileBytes(err);
    return result;
}

CliRun CliRunner::runArguments(const std::vector<std::string>& arguments,
                               const CliRunOptions& options) const {
    std::string line;
    for (const auto& argument : arguments) {
        if (!line.empty())
            line += ' ';
        line += shellQuoted(argument);
    }
    return run(line, options);
}

} // namespace vendrix::test
