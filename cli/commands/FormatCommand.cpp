// vendrix-cli format: the document formatters on a file or standard input.
#include "cli/CliSupport.h"
#include "cli/commands/MappedInput.h"
#include "core/formatting/CSSFormatter.h"
#include "core/formatting/DocumentFormatter.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONBlockStream.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/MarkupFormatter.h"

#include <cstdio>
#include <functional>
#include <map>

namespace vendrix::cli {

namespace {

using Result = std::expected<std::u16string, FormatError>;
using Transform = std::function<Result(std::u16string_view, FormatIndent)>;

using BytesResult = std::expected<std::string, FormatError>;
using BytesTransform = std::function<BytesResult(std::string_view, FormatIndent)>;

// The JSON and markup kinds work on the file's bytes: UTF-8 input is formatted without
// conversions.
const std::map<std::string, BytesTransform>& bytesTransforms() {
    static const std::map<std::string, BytesTransform> table = {
        {"json",
         [](auto bytes, auto indent) { return JSONFormatter::formatFileBytes(bytes, indent, false); }},
        {"json-sorted",
         [](auto bytes, auto indent) { return JSONFormatter::formatFileBytes(bytes, indent, true); }},
        {"json-minify",
         [](auto bytes, auto) { return JSONFormatter::formatFileBytes(bytes, std::nullopt, false); }},
        {"json-minify-sorted",
         [](auto bytes, auto) { return JSONFormatter::formatFileBytes(bytes, std::nullopt, true); }},
        {"xml",
         [](auto bytes, auto indent) {
             return MarkupFormatter::formatFileBytes(bytes, MarkupFormatter::Dialect::xml, indent);
         }},
        {"html",
         [](auto bytes, auto indent) {
             return MarkupFormatter::formatFileBytes(bytes, MarkupFormatter::Dialect::html, indent);
         }},
        {"markup-minify",
         [](auto bytes, auto) {
             return MarkupFormatter::formatFileBytes(bytes, MarkupFormatter::Dialect::xml, std::nullopt);
         }},
        {"xml-minify",
         [](auto bytes, auto) {
             return MarkupFormatter::formatFileBytes(bytes, MarkupFormatter::Dialect::xml, std::nullopt);
         }},
        {"html-minify",
         [](auto bytes, auto) {
             return MarkupFormatter::formatFileBytes(bytes, MarkupFormatter::Dialect::html, std::nullopt);
         }},
    };
    return table;
}

const std::map<std::string, Transform>& transforms() {
    static const std::map<std::string, Transform> table = {
        {"sql",
         [](auto text, auto indent) {
             return DocumentFormatter::pretty(text, DocumentFormatter::Kind::sql, indent);
         }},
        {"css",
         [](auto text, auto indent) {
             return DocumentFormatter::pretty(text, DocumentFormatter::Kind::css, indent);
         }},
        {"css-minify", [](auto text, auto) { return CSSFormatter::minify(text); }},
    };
    return table;
}

// The size of the blocks of streamed output.
constexpr std::size_t kOutputBlock = std::size_t{1} << 20;

int reportError(const FormatError& error) {
    const std::string text = FormatText::toUTF8(error.description()) + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return kExitFailure;
}

int runValidate(std::string_view bytes, bool asJSON) {
    auto summary = JSONFormatter::validateFileBytes(bytes);
    if (!summary)
        return reportError(summary.error());
    if (asJSON) {
        printJSON({{"valid", true},
                   {"hasComments", summary->hasComments},
                   {"maxDepth", summary->maxDepth},
                   {"valueCount", summary->valueCount}});
    } else {
        writeStdout("Geçerli JSON (derinlik " + std::to_string(summary->maxDepth) +
                    (summary->hasComments ? ", yorum içeriyor" : "") + ")\n");
    }
    return kExitOK;
}

// Unsorted JSON in valid UTF-8 is written to standard output in blocks as it is formatted,
// once the whole input is known to format, so that no page of a whole output is ever
// touched; an input that fails gives its error and no output, as the whole-output path does.
// Each block, and the error or success, counts only while the mapped file is unchanged.
// None when the input needs that path (not UTF-8, or an output that may pass the size limit).
std::optional<int> streamJSON(const MappedInput& input, std::optional<FormatIndent> indent) {
    const std::string_view bytes = input.bytes();
    if (!FormatText::isValidUTF8(bytes)) {
        input.exitIfChanged();
        return std::nullopt;
    }
    const JSONBlockStream::Consumer toStdout = [&input](std::string_view block) {
        input.exitIfChanged();
        writeStdout(block); // exits on a write failure
        return true;
    };
    auto result = JSONBlockStream::format(bytes, indent, toStdout, kOutputBlock);
    input.exitIfChanged();
    if (auto* error = std::get_if<FormatError>(&result))
        return reportError(*error);
    if (std::holds_alternative<JSONBlockStream::MayNotFit>(result))
        return std::nullopt;
    return kExitOK;
}

int runFormat(std::span<const std::string> args);

const CliCommand command{
    "format",
    "pretty-print, minify or validate JSON, XML, HTML, SQL or CSS",
    "Usage: vendrix-cli format KIND [--indent 2|4|tab] [--language ID] [--json] [FILE]\n\n"
    "Formats FILE (or standard input) and writes the result to standard output.\n"
    "KIND is one of:\n"
    "  json, json-sorted        JSON pretty-printed (json-sorted: object keys sorted)\n"
    "  json-minify, json-minify-sorted\n"
    "                           JSON minified, comments dropped\n"
    "  json-validate            checks JSON; prints \"Geçerli JSON (derinlik N)\"\n"
    "                           (--json: the summary as a JSON object)\n"
    "  xml, html                markup pretty-printed\n"
    "  markup-minify, xml-minify, html-minify\n"
    "                           markup minified (markup-minify: XML rules)\n"
    "  sql, css, css-minify     SQL or CSS formatted\n"
    "  auto                     the document formatter chosen for --language (or the text)\n"
    "--indent: 2 (default), 4 or tab.\n"
    "A formatting error prints \"satır L, sütun C: message\" on standard error, exit 1.\n",
    runFormat};

int runFormat(std::span<const std::string> args) {
    auto parsed = parseArgs(command, args, {"--indent", "--language"}, {"--json"});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.empty())
        return usageError(command, "missing KIND");
    if (parsed->positionals.size() > 2)
        return usageError(command, "too many arguments");
    const std::string& kind = parsed->positionals[0];
    FormatIndent indent = FormatIndent::spaces(2);
    if (auto value = parsed->value("--indent")) {
        if (*value == "4")
            indent = FormatIndent::spaces(4);
        else if (*value == "tab")
            indent = FormatIndent::tab();
        else if (*value != "2")
            return usageError(command, "--indent must be 2, 4 or tab");
    }
    const bool known = kind == "json-validate" || kind == "auto" || transforms().contains(kind) ||
                       bytesTransforms().contains(kind);
    if (!known)
        return usageError(command, "unknown KIND " + kind);
    const std::string path = parsed->positionals.size() == 2 ? parsed->positionals[1] : "";
    if (kind == "json" || kind == "json-minify") {
        // A large file is mapped rather than read: its bytes are then never copied.
        const MappedReadGuard guard;
        if (auto mapped = MappedInput::map(path)) {
            const auto bytesIndent = kind == "json" ? std::optional(indent) : std::nullopt;
            if (auto status = streamJSON(*mapped, bytesIndent))
                return *status;
        }
    }
    auto input = readInput(path);
    if (!input)
        return kExitFailure;
    if (kind == "json-validate")
        return runValidate(*input, parsed->has("--json"));
    if (auto bytesTransform = bytesTransforms().find(kind); bytesTransform != bytesTransforms().end()) {
        auto output = bytesTransform->second(*input, indent);
        if (!output)
            return reportError(output.error());
        input->clear();
        input->shrink_to_fit();
        writeStdout(*output);
        return kExitOK;
    }
    const std::u16string text = FormatText::fromUTF8(*input);

    Result result;
    if (kind == "auto") {
        const auto language = parsed->value("--language");
        const auto chosen = DocumentFormatter::kind(
            language ? std::optional<std::string_view>(*language) : std::nullopt,
            std::u16string_view(text).substr(0, 4096));
        if (!chosen)
            return fail("Bu belge için biçimlendirici yok (dil seçin)");
        result = DocumentFormatter::pretty(text, *chosen, indent);
    } else {
        result = transforms().at(kind)(text, indent);
    }
    if (!result)
        return reportError(result.error());
    writeStdout(FormatText::toUTF8(*result));
    return kExitOK;
}

const CommandRegistrar registrar{command};

} // namespace

} // namespace vendrix::cli
