// vendrix-cli detect FILE: the language the catalog detects for a file.
#include "cli/CliSupport.h"
#include "core/syntax/LanguageCatalog.h"
#include "core/syntax/LanguageID.h"

#include <filesystem>

namespace vendrix::cli {


namespace {

int runDetect(std::span<const std::string> args);

const CliCommand kDetect{
    "detect", "detect a file's language from its name, first line and first characters",
    "Usage: vendrix-cli detect FILE\n\n"
    "Prints {\"language\": ID} with the language identifier (\"plain\" when none is found).\n",
    runDetect};

int runDetect(std::span<const std::string> args) {
    auto parsed = parseArgs(kDetect, args, {}, {});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() != 1)
        return usageError(kDetect, "expected one FILE");
    const std::string& path = parsed->positionals[0];
    auto bytes = readInput(path);
    if (!bytes)
        return kExitFailure;
    std::u16string text = documentText(*bytes);
    std::string name =
        path == "-" ? std::string() : std::filesystem::path(path).filename().string();
    auto language = LanguageCatalog::detect(name, text);
    printJSON(nlohmann::json{{"language", language.value_or(std::string(LanguageID::plainText))}});
    return kExitOK;
}

static CommandRegistrar registrar{kDetect};

} // namespace
} // namespace vendrix::cli
