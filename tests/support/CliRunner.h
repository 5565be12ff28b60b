#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vendrix::test {

/// What a finished command-line run left behind.
struct CliRun {
    /// Exit status as the shell reports it: 128 + N when signal N ended the program.
    int status = -1;
    std::string out;
    std::string err;
};

/// Where the program's standard output goes.
enum class CliStdout {
    captured,   ///< into CliRun::out
    full,       ///< /dev/full: every write fails with ENOSPC
    closedPipe, ///< a pipe whose reading end is already closed
};

struct CliRunOptions {
    /// Bytes fed to standard input; without them standard input is /dev/null.
    std::optional<std::string> input;
    /// Variables set for the run only, as name and value (the value is quoted here).
    std::vector<std::pair<std::string, std::string>> environment;
    CliStdout stdoutTo = CliStdout::captured;
    /// Shell commands run before the program in the same shell ("ulimit -f 8; trap '' PIPE").
    std::string shellSetup;
};

/// Options feeding `input` to standard input.
[[nodiscard]] CliRunOptions withInput(std::string input);
/// Options setting one environment variable for the run.
[[nodiscard]] CliRunOptions withEnvironment(std::string name, std::string value);
/// Options running `setup` in the shell first.
[[nodiscard]] CliRunOptions withShellSetup(std::string setup);
/// Options sending standard output to `stdoutTo`, after `setup` in the shell.
[[nodiscard]] CliRunOptions withStdout(CliStdout stdoutTo, std::string setup = {});

/// `argument` in single quotes for /bin/sh, embedded quotes included.
[[nodiscard]] std::string shellQuoted(std::string_view argument);

/// Runs one command-line program through /bin/sh, as a user's script would, collecting
/// its exit status and both output streams (standard output as CliRunOptions::stdoutTo says).
class CliRunner {
public:
    explicit CliRunner(std::filesystem::path program) : m_program(std::move(program)) {}

    /// `arguments` is a shell command-line fragment, quoted by the caller where needed.
    [[nodiscard]] CliRun run(std::string_view arguments, const CliRunOptions& options = {}) const;
    /// Every argument is passed as it stands (quoted here).
    [[nodiscard]] CliRun runArguments(const std::vector<std::string>& arguments,
                                      const CliRunOptions& options = {}) const;

private:
    std::filesystem::path m_program;
};

} // namespace vendrix::test
