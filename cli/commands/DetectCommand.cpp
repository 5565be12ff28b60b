// vendrix-cli detect FILE: the language the catalog detects for a file.
#include "cli/CliSupport.h"
#include "core/syntax/LanguageCatalog.h"
#include "core/syntax/LanguageID.h"

#include <unicode/ustring.h>

#include <filesystem>

namespace vendrix::cli {

/// The file's bytes as text: UTF-8 when valid (a byte order mark is dropped), otherwise
/// Latin-1; CRLF and CR become LF. Shared with the tokens command.
std::u16string decodeSyntaxInput(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    std::u16string text(bytes.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(reinterpret_cast<UChar*>(text.data()), static_cast<int32_t>(text.size()), &length,
                  bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_SUCCESS(status)) {
        text.resize(static_cast<size_t>(length));
    } else {
        text.resize(bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i)
            text[i] = static_cast<unsigned char>(bytes[i]);
    }
    std::u16string normalised;
    normalised.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            normalised += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            normalised += text[i];
        }
    }
    return normalised;
}

namespace {

int runDetect(std::span<const std::string> args);

const CliCommand kDetect{
    "detect", "Detect a file's language from its name, first line and first characters",
    "usage: vendrix-cli detect FILE\n"
    "Prints {\"language\": ID} with the language identifier (\"plain\" when none is found).\n",
    runDetect};

int runDetect(std::span<const std::string> args) {
    auto parsed = parseArgs(kDetect, args, {}, {});
    if (!parsed)
        return kExitUsage;
    if (parsed->has("--help")) {
        writeStdout(kDetect.usage);
        return kExitOK;
    }
    if (parsed->positionals.size() != 1)
        return usageError(kDetect, "expected one FILE");
    const std::string& path = parsed->positionals[0];
    auto bytes = readInput(path);
    if (!bytes)
        return kExitFailure;
    std::u16string text = decodeSyntaxInput(*bytes);
    std::string name =
        path == "-" ? std::string() : std::filesystem::path(path).filename().string();
    auto language = LanguageCatalog::detect(name, text);
    printJSON(nlohmann::json{{"language", language.value_or(std::string(LanguageID::plainText))}});
    return kExitOK;
}

static CommandRegistrar registrar{kDetect};

} // namespace
} // namespace vendrix::cli
