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
    int status = -1; ///< Exit status, or -1 when the program did not exit normally.
    std::string out;
    std::string err;
};

struct CliRunOptions {
    /// Bytes fed to standard input; without them standard input is /dev/null.
    std::optional<std::string> input;
    /// Variables set for the run only, as name and value (the value is quoted here).
    std::vector<std::pair<std::string, std::string>> environment;
};

/// Options feeding `input` to standard input.
[[nodiscard]] CliRunOptions withInput(std::string input);
/// Options setting one environment variable for the run.
[[nodiscard]] CliRunOptions withEnvironment(std::string name, std::string value);

/// `argument` in single quotes for /bin/sh, embedded quotes included.
[[nodiscard]] std::string shellQuoted(std::string_view argument);

/// Runs one command-line program through /bin/sh, as a user's script would, collecting
/// its exit status and both output streams.
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
