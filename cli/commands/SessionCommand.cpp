// vendrix-cli session: shows the session a start would restore, without touching it.
#include "cli/CliSupport.h"
#include "core/persistence/SessionStore.h"

#include <cstdlib>
#include <filesystem>

namespace vendrix::cli {

namespace {

int runSession(std::span<const std::string> args);

const CliCommand command{
    "session", "show the saved session (read-only)",
    "Usage: vendrix-cli session [DIR]\n\n"
    "Loads the session in DIR as the editor does when it starts: session.json, else\n"
    "session.json.bak, else tabs rebuilt from the files in buffers/, else an empty session;\n"
    "buffer files that no tab names are added as recovered tabs.\n"
    "DIR defaults to $XDG_DATA_HOME/Vendrix (~/.local/share/Vendrix when XDG_DATA_HOME is\n"
    "unset).\n\n"
    "Read-only: it takes no lock, so it also works while the editor runs, and it changes\n"
    "nothing on disk. A damaged session.json is reported with the warning\n"
    "\"session.json bozuk\" but, unlike at a real start, not moved to session.json.corrupt.\n\n"
    "Prints one JSON object:\n"
    "  {\"source\": \"primary\" | \"backup\" | \"recoveredBuffers\" | \"fresh\",\n"
    "   \"warnings\": [...], \"selectedTabID\": UUID or null,\n"
    "   \"tabs\": [each tab as in session.json, plus \"bufferLength\": the UTF-16 length of\n"
    "             its buffer text, or null when it has none or it cannot be read]}\n",
    runSession};

std::filesystem::path defaultDirectory() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/')
        return std::filesystem::path(dataHome) / "Vendrix";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "") / ".local" / "share" / "Vendrix";
}

int runSession(std::span<const std::string> args) {
    auto parsed = parseArgs(command, args, {}, {});
    if (!parsed)
        return kExitUsage;
    if (parsed->positionals.size() > 1)
        return usageError(command, "too many arguments");
    std::filesystem::path directory = defaultDirectory();
    if (!parsed->positionals.empty()) {
        directory = parsed->positionals[0];
        std::error_code error;
        if (!std::filesystem::is_directory(directory, error))
            return fail("no session directory at " + directory.string());
    }

    SessionStore store(directory);
    SessionLoadResult result = store.loadReadOnly();
    // The tabs are shown exactly as the session file writes them.
    nlohmann::json encoded = nlohmann::json::parse(result.state.encodedJSON());
    nlohmann::json tabs = nlohmann::json::array();
    for (std::size_t i = 0; i < result.state.tabs.size(); ++i) {
        nlohmann::json tab = encoded["tabs"][i];
        const auto& bufferFile = result.state.tabs[i].bufferFile;
        std::optional<std::u16string> text;
        if (bufferFile)
            if (auto read = store.readBuffer(*bufferFile))
                text = std::move(*read);
        tab["bufferLength"] = text ? nlohmann::json(text->size()) : nlohmann::json(nullptr);
        tabs.push_back(std::move(tab));
    }
    nlohmann::json output = {
        {"source", std::string(sessionLoadSource::rawValue(result.source))},
        {"warnings", result.warnings},
        {"selectedTabID", result.state.selectedTabID
                              ? nlohmann::json(result.state.selectedTabID->uuidString())
                              : nlohmann::json(nullptr)},
        {"tabs", std::move(tabs)},
    };
    printJSON(output);
    return kExitOK;
}

const CommandRegistrar registrar{command};

} // namespace

} // namespace vendrix::cli
