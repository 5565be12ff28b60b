// vendrix-cli settings: shows the editor settings as the editor would load them.
#include "cli/CliSupport.h"
#include "core/persistence/FileSettingsBacking.h"
#include "core/persistence/SettingsStore.h"

#include <cstdlib>
#include <filesystem>
#include <type_traits>
#include <variant>

namespace vendrix::cli {

namespace {

int runSettings(std::span<const std::string> args);

/// The settings keys, quoted and wrapped as the usage text's list.
std::string keyList() {
    std::string list;
    std::size_t column = 0;
    for (const SettingDescriptor& setting : settingDescriptors()) {
        std::string item = (list.empty() ? "(\"" : "\"") + std::string(setting.key) + "\"";
        item += &setting == &settingDescriptors().back() ? ")." : ",";
        if (column + item.size() + 1 > 88) {
            list += "\n";
            column = 0;
        } else if (!list.empty()) {
            list += " ";
            ++column;
        }
        list += item;
        column += item.size();
    }
    return list;
}

const CliCommand command{
    "settings", "show the editor settings (read-only)",
    "Usage: vendrix-cli settings [FILE]\n\n"
    "Loads the editor settings from the property-list FILE (XML or binary) as the editor\n"
    "does: missing, mistyped or unknown values fall back to their defaults and the limits\n"
    "are applied. FILE defaults to $XDG_CONFIG_HOME/Vendrix/settings.plist\n"
    "(~/.config/Vendrix/settings.plist when XDG_CONFIG_HOME is unset). Nothing is written.\n\n"
    "Prints one JSON object keyed by the settings keys\n" +
        keyList() +
        "\nA file that exists but cannot be read or parsed is reported on standard error; the\n"
        "defaults are printed.\n",
    runSettings};

nlohmann::json toJSON(const SettingsValue& stored) {
    return std::visit(
        [](const auto& value) -> nlohmann::json {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::int64_t> ||
                          std::is_same_v<T, double> || std::is_same_v<T, std::string>)
                return value;
            else
                return nullptr; // settings are never stored as other types
        },
        stored.value);
}

std::filesystem::path defaultFile() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (configHome && *configHome == '/') {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : "") / ".config";
    }
    return base / "Vendrix" / "settings.plist";
}

int runSettings(std::span<const std::string> args) {
    auto parsed = parseArgs(command, args, {}, {});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() > 1)
        return usageError(command, "too many arguments");
    std::filesystem::path file =
        parsed->positionals.empty() ? defaultFile() : std::filesystem::path(parsed->positionals[0]);

    FileSettingsBacking backing(file);
    using FileState = FileSettingsBacking::FileState;
    if (backing.fileState() == FileState::unreadable)
        fail("cannot read " + file.string() + "; showing the defaults");
    else if (backing.fileState() == FileState::damaged)
        fail(file.string() + " is not a property-list dictionary; showing the defaults");

    const EditorSettings settings = SettingsStore(backing).load();
    nlohmann::json output = nlohmann::json::object();
    for (const SettingDescriptor& setting : settingDescriptors())
        output[std::string(setting.key)] = toJSON(setting.value(settings));
    printJSON(output);
    return kExitOK;
}

const CommandRegistrar registrar{command};

} // namespace

} // namespace vendrix::cli
