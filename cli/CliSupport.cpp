#include "cli/CliSupport.h"

#include "core/common/Utf8.h"
#include "core/text/AtomicFile.h"
#include "core/text/TextFileCodec.h"
#include "core/text/UserFileReader.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::cli {

namespace {
std::map<std::string, CliCommand>& registry() {
    static std::map<std::string, CliCommand> commands;
    return commands;
}
} // namespace

CommandRegistrar::CommandRegistrar(CliCommand command) {
    std::string name = command.name;
    registry().emplace(std::move(name), std::move(command));
}

const std::map<std::string, CliCommand>& registeredCommands() { return registry(); }

std::optional<std::string> ParsedArgs::value(const std::string& option) const {
    auto it = values.find(option);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::string> ParsedArgs::valuesOf(const std::string& option) const {
    std::vector<std::string> found;
    for (const auto& [name, value] : allValues)
        if (name == option)
            found.push_back(value);
    return found;
}

std::expected<ParsedArgs, int> parseArgs(const CliCommand& command,
                                         std::span<const std::string> args,
                                         std::set<std::string> valueOptions,
                                         std::set<std::string> flagOptions) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            parsed.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            writeStdout(command.usage);
            return std::unexpected(kExitOK);
        }
        if (arg == "--version") {
            writeStdout(versionLine());
            return std::unexpected(kExitOK);
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (auto eq = name.find('='); eq != std::string::npos && name.starts_with("--")) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (valueOptions.contains(name)) {
            if (inlineValue) {
                parsed.values[name] = *inlineValue;
            } else if (i + 1 < args.size()) {
                parsed.values[name] = args[++i];
            } else {
                return std::unexpected(usageError(command, "option " + name + " needs a value"));
            }
            parsed.allValues.emplace_back(name, parsed.values[name]);
        } else if (flagOptions.contains(name) && !inlineValue) {
            parsed.flags.insert(name);
        } else {
            return std::unexpected(usageError(command, "unknown option " + arg));
        }
    }
    return parsed;
}

std::string versionLine() { return std::string("vendrix-cli ") + VENDRIX_VERSION + "\n"; }

int fail(std::string_view message, int status) {
    std::cerr << "vendrix-cli: " << message << '\n';
    return status;
}

int usageError(const CliCommand& command, std::string_view message) {
    std::cerr << "vendrix-cli " << command.name << ": " << message << "\n\n" << command.usage;
    if (!command.usage.empty() && command.usage.back() != '\n')
        std::cerr << '\n';
    return kExitUsage;
}

std::optional<std::string> readInput(const std::string& path) {
    const bool standardInput = path.empty() || path == "-";
    if (!standardInput) {
        auto contents = UserFileReader::read(path);
        if (!contents) {
            const UserFileError& error = contents.error();
            const std::string reason =
                error.kind == UserFileErrorKind::tooLarge ? std::string("file too large")
                : error.kind == UserFileErrorKind::notRegularFile && error.errnoValue != EISDIR
                    ? std::string("not a regular file")
                    : std::string(std::strerror(error.errnoValue));
            fail("cannot read " + path + ": " + reason);
            return std::nullopt;
        }
        return std::move(contents->bytes);
    }
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            fail(std::string("cannot read standard input: ") + std::strerror(errno));
            return std::nullopt;
        }
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(count));
    }
    return bytes;
}

namespace {

[[noreturn]] void stdoutFailed(int error) {
    // A reader that stopped reading is no error worth a message (as with SIGPIPE).
    if (error != EPIPE)
        fail(std::string("cannot write to standard output: ") + std::strerror(error));
    std::_Exit(kExitFailure);
}

} // namespace

void writeStdout(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0)
        stdoutFailed(errno != 0 ? errno : EIO);
}

void finishStdout() {
    std::cout.flush();
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        stdoutFailed(errno != 0 ? errno : EIO);
    // Some file systems report a failed write only when the file is closed. The descriptor
    // is closed under the FILE, which stays valid for the flushes at exit (it holds nothing
    // more). A descriptor that was never open is no failure when nothing was written to it.
    if (::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR)
        stdoutFailed(errno);
}

int writeOutputFile(const std::string& path, std::string_view bytes) {
    unsigned mode = 0;
    std::optional<AtomicFileOwner> owner;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        owner = AtomicFileOwner{st.st_uid, st.st_gid};
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~static_cast<unsigned>(mask);
    }
    if (auto written = AtomicFile::write(bytes, path, mode, owner); !written)
        return fail("cannot write " + path + ": " + written.error().operation + " failed (" +
                    std::strerror(written.error().errnoValue) + ")");
    return kExitOK;
}

void printJSON(const nlohmann::json& value) {
    writeStdout(value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

std::u16string fromUTF8(std::string_view bytes) { return utf8::decode(bytes); }

std::string toUTF8(std::u16string_view text) { return utf8::encode(text); }

std::u16string documentText(std::string_view bytes) { return TextFileCodec::decode(bytes).text; }

std::optional<long long> parseInteger(std::string_view text) {
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace vendrix::cli
