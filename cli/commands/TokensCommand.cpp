// vendrix-cli tokens [--language ID] [--json] FILE: the highlight engine's tokens of a file.
#include "cli/CliSupport.h"
#include "core/syntax/HighlightEngine.h"
#include "core/syntax/LanguageCatalog.h"
#include "core/syntax/LanguageID.h"

#include <filesystem>

namespace vendrix::cli {

namespace {

int runTokens(std::span<const std::string> args);

const CliCommand kTokens{
    "tokens", "print the syntax tokens of a file",
    "Usage: vendrix-cli tokens [--language ID] [--json] FILE\n\n"
    "Prints one token per line as LINE:COLUMN LENGTH KIND (1-based line, 0-based UTF-16\n"
    "column, length in UTF-16 units). --language overrides detection; --json prints a JSON\n"
    "array of [line, column, length, kind].\n",
    runTokens};

int runTokens(std::span<const std::string> args) {
    auto parsed = parseArgs(kTokens, args, {"--language"}, {"--json"});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() != 1)
        return usageError(kTokens, "expected one FILE");
    const std::string& path = parsed->positionals[0];
    std::optional<std::string> language = parsed->value("--language");
    if (language && *language != LanguageID::plainText && !LanguageCatalog::definition(*language))
        return usageError(kTokens, "unknown language " + *language);
    auto bytes = readInput(path);
    if (!bytes)
        return kExitFailure;
    const std::u16string text = documentText(*bytes);
    if (!language) {
        std::string name =
            path == "-" ? std::string() : std::filesystem::path(path).filename().string();
        language = LanguageCatalog::detect(name, text).value_or(std::string(LanguageID::plainText));
    }

    const LineIndex index(text);
    std::vector<Token> tokens = HighlightEngine::tokenize(text, *language);
    const bool json = parsed->has("--json");
    nlohmann::json array = nlohmann::json::array();
    std::string out;
    for (const Token& token : tokens) {
        std::int64_t line = index.lineNumber(token.range.location);
        std::int64_t column = token.range.location - index.lineStart(line);
        if (json) {
            array.push_back(
                {line + 1, column, token.range.length, std::string(rawValue(token.kind))});
        } else {
            out += std::to_string(line + 1) + ":" + std::to_string(column) + " " +
                   std::to_string(token.range.length) + " " + std::string(rawValue(token.kind)) +
                   "\n";
            if (out.size() > (1 << 16)) {
                writeStdout(out);
                out.clear();
            }
        }
    }
    if (json)
        printJSON(array);
    else
        writeStdout(out);
    return kExitOK;
}

static CommandRegistrar registrar{kTokens};

} // namespace
} // namespace vendrix::cli
