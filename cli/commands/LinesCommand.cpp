// vendrix-cli lines: the editor's line commands on a file or standard input.
#include "cli/CliSupport.h"
#include "core/editing/LineOperations.h"
#include "core/text/LineEnding.h"
#include "core/text/TextEncoding.h"

#include <climits>

namespace vendrix::cli {

namespace {

int runLines(std::span<const std::string> args);

/// Tab widths beyond this would only blow up the text; the editor itself allows 1 to 16.
constexpr long long kMaxTabWidth = 1000;

const CliCommand command{
    "lines",
    "run a line command (sort, dedupe, case, indent, ...) on a text",
    "Usage: vendrix-cli lines OPERATION [--selection LOCATION:LENGTH] [--tab-width N]\n"
    "                         [--indent-unit STRING] [--json] [FILE]\n\n"
    "Reads FILE (or standard input) as UTF-8, normalises its line breaks to LF, applies the\n"
    "line command to the selection and writes the resulting text to standard output.\n"
    "OPERATION is one of:\n"
    "  duplicate, deleteLines, moveUp, moveDown, sortAscending, sortDescending,\n"
    "  removeDuplicates, trimTrailingWhitespace, removeEmptyLines, tabsToSpaces,\n"
    "  leadingSpacesToTabs, upperCase, lowerCase, titleCase, joinLines,\n"
    "  indent (prefixes the lines with --indent-unit), outdent\n"
    "--selection: location and length in UTF-16 units of the LF text (default: the whole\n"
    "             text); it must lie inside the text.\n"
    "--tab-width: columns per tab (default 4; 0 or below counts as 1).\n"
    "--indent-unit: the text indent inserts (default a tab).\n"
    "--json: print {\"text\": ..., \"selection\": [location, length], \"changed\": bool}.\n",
    runLines,
};

const CommandRegistrar registrar{command};

std::optional<TextRange> parseSelection(std::string_view value) {
    std::size_t colon = value.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    auto location = parseInteger(value.substr(0, colon));
    auto length = parseInteger(value.substr(colon + 1));
    if (!location || !length || *location < 0 || *length < 0)
        return std::nullopt;
    return TextRange{*location, *length};
}

int runLines(std::span<const std::string> args) {
    auto parsed =
        parseArgs(command, args, {"--selection", "--tab-width", "--indent-unit"}, {"--json"});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.empty())
        return usageError(command, "missing OPERATION");
    if (parsed->positionals.size() > 2)
        return usageError(command, "too many arguments");
    const std::string& name = parsed->positionals[0];
    const std::optional<LineOperation> operation = lineOperation::fromRawValue(name);
    if (!operation && name != "indent" && name != "outdent")
        return usageError(command, "unknown operation " + name);

    int tabWidth = 4;
    if (auto value = parsed->value("--tab-width")) {
        auto number = parseInteger(*value);
        if (!number || *number < -kMaxTabWidth || *number > kMaxTabWidth)
            return usageError(command, "--tab-width needs an integer from -" +
                                           std::to_string(kMaxTabWidth) + " to " +
                                           std::to_string(kMaxTabWidth) + ", not " + *value);
        tabWidth = static_cast<int>(*number);
    }
    std::optional<TextRange> selection;
    if (auto value = parsed->value("--selection")) {
        selection = parseSelection(*value);
        if (!selection)
            return usageError(command, "--selection needs LOCATION:LENGTH, not " + *value);
    }
    const std::u16string unit = fromUTF8(parsed->value("--indent-unit").value_or("\t"));

    auto bytes = readInput(parsed->positionals.size() > 1 ? parsed->positionals[1] : "");
    if (!bytes)
        return kExitFailure;
    if (bytes->size() > static_cast<std::size_t>(INT32_MAX))
        return fail("the input is too large (at most 2 GiB)");
    // Strict: malformed input is refused, so no byte is silently replaced.
    if (!textEncoding::isValidUTF8(*bytes))
        return fail("the input is not valid UTF-8");
    const std::u16string text = lineEnding::normalizeToLF(fromUTF8(*bytes));
    const auto textLength = static_cast<std::int64_t>(text.size());
    if (!selection)
        selection = TextRange{0, textLength};
    if (!selection->fits(textLength))
        return usageError(command, "--selection " + std::to_string(selection->location) + ":" +
                                       std::to_string(selection->length) +
                                       " does not fit the text of " + std::to_string(textLength) +
                                       " units");

    const LineIndex index(text);
    std::optional<TextEdit> edit;
    if (operation)
        edit = LineOperations::apply(*operation, text, index, *selection, tabWidth);
    else if (name == "indent")
        edit = LineOperations::indent(text, index, *selection, unit);
    else
        edit = LineOperations::outdent(text, index, *selection, tabWidth);

    const std::u16string result = edit ? edit->applied(text) : text;
    const TextRange after = edit ? edit->selection : *selection;
    if (parsed->has("--json")) {
        printJSON({{"text", toUTF8(result)},
                   {"selection", {after.location, after.length}},
                   {"changed", edit.has_value()}});
    } else {
        writeStdout(toUTF8(result));
    }
    return kExitOK;
}

} // namespace

} // namespace vendrix::cli
