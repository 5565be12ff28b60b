// vendrix-cli codec: the text codecs on a file or standard input.
#include "cli/CliSupport.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/TextCodecs.h"

#include <cstdio>
#include <functional>
#include <map>

namespace vendrix::cli {

namespace {

using Result = std::expected<std::u16string, FormatError>;
using Operation = std::function<Result(std::u16string_view)>;

const std::map<std::string, Operation>& operations() {
    static const std::map<std::string, Operation> table = {
        {"html-encode", [](auto text) -> Result { return TextCodec::htmlEncode(text); }},
        {"html-decode", [](auto text) -> Result { return TextCodec::htmlDecode(text); }},
        {"json-escape", [](auto text) -> Result { return TextCodec::jsonEscape(text); }},
        {"json-unescape", [](auto text) { return TextCodec::jsonUnescape(text); }},
        {"base64-encode", [](auto text) -> Result { return TextCodec::base64Encode(text); }},
        {"base64-decode", [](auto text) { return TextCodec::base64Decode(text); }},
        {"url-encode", [](auto text) -> Result { return TextCodec::urlEncode(text); }},
        {"url-decode", [](auto text) { return TextCodec::urlDecode(text); }},
    };
    return table;
}

int runCodec(std::span<const std::string> args);

const CliCommand command{
    "codec",
    "HTML entities, JSON string escapes, Base64 and URL percent-encoding",
    "Usage: vendrix-cli codec OPERATION [FILE]\n\n"
    "Transforms FILE (or standard input) and writes the result to standard output.\n"
    "OPERATION is one of: html-encode, html-decode, json-escape, json-unescape,\n"
    "base64-encode, base64-decode, url-encode, url-decode.\n"
    "The whole input is transformed, a final line feed included.\n"
    "A decoding error prints \"satır L, sütun C: message\" on standard error, exit 1.\n",
    runCodec};

int runCodec(std::span<const std::string> args) {
    auto parsed = parseArgs(command, args, {}, {});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.empty())
        return usageError(command, "missing OPERATION");
    if (parsed->positionals.size() > 2)
        return usageError(command, "too many arguments");
    auto operation = operations().find(parsed->positionals[0]);
    if (operation == operations().end())
        return usageError(command, "unknown OPERATION " + parsed->positionals[0]);
    auto input = readInput(parsed->positionals.size() == 2 ? parsed->positionals[1] : "");
    if (!input)
        return kExitFailure;
    const Result result = operation->second(FormatText::fromUTF8(*input));
    if (!result) {
        const std::string text = FormatText::toUTF8(result.error().description()) + "\n";
        std::fwrite(text.data(), 1, text.size(), stderr);
        return kExitFailure;
    }
    writeStdout(FormatText::toUTF8(*result));
    return kExitOK;
}

const CommandRegistrar registrar{command};

} // namespace

} // namespace vendrix::cli
