// vendrix-cli settings: shows the editor settings as the editor would load them.
#include "cli/CliSupport.h"
#include "core/persistence/FileSettingsBacking.h"
#include "core/persistence/SettingsStore.h"

#include <cstdlib>
#include <filesystem>

namespace vendrix::cli {

namespace {

int runSettings(std::span<const std::string> args);

const CliCommand command{
    "settings", "show the editor settings (read-only)",
    "Usage: vendrix-cli settings [FILE]\n\n"
    "Loads the editor settings from the property-list FILE (XML or binary) as the editor\n"
    "does: missing, mistyped or unknown values fall back to their defaults and the limits\n"
    "are applied. FILE defaults to $XDG_CONFIG_HOME/Vendrix/settings.plist\n"
    "(~/.config/Vendrix/settings.plist when XDG_CONFIG_HOME is unset). Nothing is written.\n\n"
    "Prints one JSON object keyed by the settings keys (\"editor.fontName\", \"editor.fontSize\",\n"
    "\"editor.tabWidth\", \"editor.insertSpaces\", \"editor.wrapByDefault\", \"editor.theme\",\n"
    "\"editor.highlightSelectedWord\", \"editor.showInvisibles\", \"editor.multilineTabs\",\n"
    "\"editor.prettyOnOpen\"). A file that exists but cannot be read or parsed is reported\n"
    "on standard error; the defaults are printed.\n",
    runSettings};

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

    EditorSettings settings = SettingsStore(backing).load();
    using Key = SettingsStore::Key;
    nlohmann::json output = {
        {Key::fontName, toUTF8(settings.fontName)},
        {Key::fontSize, settings.fontSize},
        {Key::tabWidth, settings.tabWidth},
        {Key::insertSpaces, settings.insertSpaces},
        {Key::wrapByDefault, settings.wrapByDefault},
        {Key::theme, std::string(editorTheme::rawValue(settings.theme))},
        {Key::highlightSelectedWord, settings.highlightSelectedWord},
        {Key::showInvisibles, settings.showInvisibles},
        {Key::multilineTabs, settings.multilineTabs},
        {Key::prettyOnOpen, std::string(prettyOnOpen::rawValue(settings.prettyOnOpen))},
    };
    printJSON(output);
    return kExitOK;
}

const CommandRegistrar registrar{command};

} // namespace

} // namespace vendrix::cli
