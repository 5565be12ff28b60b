#pragma once

#include <nlohmann/json.hpp>

#include <expected>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::cli {

/// Exit statuses shared by every command.
inline constexpr int kExitOK = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

/// One subcommand of vendrix-cli.
struct CliCommand {
    std::string name;
    /// One line for the tool's own --help.
    std::string summary;
    /// The full usage text printed by `vendrix-cli NAME --help` and after a usage error.
    std::string usage;
    /// Runs the command with the arguments after its name; returns the exit status.
    std::function<int(std::span<const std::string>)> run;
};

/// Commands register themselves from their own source file:
///   static CommandRegistrar registrar{{"decode", "...", "...", runDecode}};
struct CommandRegistrar {
    explicit CommandRegistrar(CliCommand command);
};
const std::map<std::string, CliCommand>& registeredCommands();

/// Parsed arguments: options by name ("--as") and positionals in order.
struct ParsedArgs {
    std::map<std::string, std::string> values; // options that take a value (the last one)
    std::vector<std::pair<std::string, std::string>> allValues; // every value, in order
    std::set<std::string> flags;                                // options without a value
    std::vector<std::string> positionals;
    bool has(const std::string& flag) const { return flags.contains(flag); }
    std::optional<std::string> value(const std::string& option) const;
    /// Every value given for a repeatable option, in order.
    std::vector<std::string> valuesOf(const std::string& option) const;
};

/// Parses `args` given the options that take a value and the flags; "--" ends the options,
/// so later arguments are positionals even when they start with "-". "--help" (or "-h")
/// prints the command's usage and "--version" the tool's version on stdout; an unknown
/// option or a missing value prints the error and the usage on stderr. In those cases the
/// result is the exit status to return (kExitOK or kExitUsage).
std::expected<ParsedArgs, int> parseArgs(const CliCommand& command,
                                         std::span<const std::string> args,
                                         std::set<std::string> valueOptions,
                                         std::set<std::string> flagOptions);

/// "vendrix-cli VERSION" and a line feed.
std::string versionLine();

/// Prints "vendrix-cli: message" on stderr; returns `status` for `return fail(...)`.
int fail(std::string_view message, int status = kExitFailure);
/// Prints the usage error and the command's usage text; returns kExitUsage.
int usageError(const CliCommand& command, std::string_view message);

/// Reads a whole file, or standard input when `path` is empty or "-". None after printing
/// the error on stderr.
std::optional<std::string> readInput(const std::string& path);
/// Writes bytes to stdout exactly (binary safe). When stdout cannot take them (a full disk,
/// a file-size limit, a closed descriptor) the error goes to stderr and the process exits
/// with kExitFailure at once, so no command reports success over a truncated output; a
/// reader that went away (EPIPE with SIGPIPE ignored) ends it the same way, quietly.
void writeStdout(std::string_view bytes);
/// Flushes and closes stdout at the end of a run, exiting as writeStdout does on failure.
void finishStdout();
/// Replaces the file at `path` with `bytes` atomically. An existing file keeps its mode and,
/// where the system permits, its owner and group; a new file gets 0666 less the umask.
/// Returns kExitOK, or kExitFailure after printing the error.
int writeOutputFile(const std::string& path, std::string_view bytes);
/// Prints a JSON value as one line on stdout.
void printJSON(const nlohmann::json& value);

/// UTF-8 <-> UTF-16 for the tool's text arguments and output. fromUTF8 replaces invalid
/// bytes with U+FFFD; toUTF8 replaces lone surrogates with U+FFFD.
std::u16string fromUTF8(std::string_view utf8);
std::string toUTF8(std::u16string_view utf16);
/// A file's bytes as the editor shows them: encoding detected, line breaks normalised to LF.
std::u16string documentText(std::string_view bytes);
/// Parses a whole decimal integer; none for anything else.
std::optional<long long> parseInteger(std::string_view text);

} // namespace vendrix::cli
