#include "cli/CliSupport.h"

#include "core/common/Utf8.h"
#include "core/text/TextFileCodec.h"
#include "core/text/UserFileReader.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

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

std::optional<ParsedArgs> parseArgs(const CliCommand& command, std::span<const std::string> args,
                                    std::set<std::string> valueOptions,
                                    std::set<std::string> flagOptions) {
    flagOptions.insert("--help");
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
        std::string name = arg == "-h" ? "--help" : arg;
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
                usageError(command, "option " + name + " needs a value");
                return std::nullopt;
            }
        } else if (flagOptions.contains(name) && !inlineValue) {
            parsed.flags.insert(name);
        } else {
            usageError(command, "unknown option " + arg);
            return std::nullopt;
        }
    }
    return parsed;
}

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
    if (path.empty() || path == "-") {
        std::ostringstream ss;
        ss << std::cin.rdbuf();
        return ss.str();
    }
    auto contents = UserFileReader::read(path);
    if (!contents) {
        const UserFileError& error = contents.error();
        std::string reason = error.kind == UserFileErrorKind::notRegularFile ? "not a regular file"
                             : error.kind == UserFileErrorKind::tooLarge
                                 ? "file too large"
                                 : std::strerror(error.errnoValue);
        fail("cannot read " + path + ": " + reason);
        return std::nullopt;
    }
    return std::move(contents->bytes);
}

void writeStdout(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
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
