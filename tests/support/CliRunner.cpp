#include "support/CliRunner.h"

#include "support/TestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

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

CliRunOptions withShellSetup(std::string setup) {
    CliRunOptions options;
    options.shellSetup = std::move(setup);
    return options;
}

CliRunOptions withStdout(CliStdout stdoutTo, std::string setup) {
    CliRunOptions options = withShellSetup(std::move(setup));
    options.stdoutTo = stdoutTo;
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

namespace {

/// Runs `command` with /bin/sh; its standard output is `stdoutFd` when that is not -1.
int runShell(const std::string& command, int stdoutFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, "/bin/sh", &actions, nullptr,
                                    const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int raw = 0;
    while (::waitpid(pid, &raw, 0) < 0)
        if (errno != EINTR)
            return -1;
    // The shell may run the program in its own place; a signal then reads as the shell's $?.
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

} // namespace

CliRun CliRunner::run(std::string_view arguments, const CliRunOptions& options) const {
    // Every stream goes through a file, so a large output can never stall the child.
    TempDir dir;
    const auto out = dir.path() / "stdout", err = dir.path() / "stderr";
    std::string command = options.shellSetup.empty() ? "" : options.shellSetup + "\n";
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
    if (options.stdoutTo == CliStdout::captured)
        command += " >" + shellQuoted(out.string());
    else if (options.stdoutTo == CliStdout::full)
        command += " >/dev/full";
    command += " 2>" + shellQuoted(err.string());

    CliRun result;
    if (options.stdoutTo == CliStdout::closedPipe) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return result;
        ::close(ends[0]);
        result.status = runShell(command, ends[1]);
        ::close(ends[1]);
    } else {
        result.status = runShell(command, -1);
    }
    if (options.stdoutTo == CliStdout::captured)
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
