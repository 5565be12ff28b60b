// vendrix-cli replace: plans a replace-all over one file and applies it.
#include "cli/CliSupport.h"
#include "cli/commands/SearchCommandSupport.h"
#include "core/search/SearchEngine.h"
#include "core/text/TextFileCodec.h"

#include <iostream>
#include <limits>

namespace vendrix::cli {
namespace {

extern const CliCommand kReplace;

int runReplace(std::span<const std::string> args) {
    std::set<std::string> valueOptions = kSearchValueOptions;
    valueOptions.insert("-o");
    auto parsed = parseArgs(kReplace, args, valueOptions, kSearchFlags);
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() != 3)
        return usageError(kReplace, "PATTERN, TEMPLATE and FILE are needed");
    auto request = searchRequest(kReplace, *parsed, std::numeric_limits<std::int64_t>::max());
    if (!request)
        return request.error();
    const std::u16string replacement = fromUTF8(parsed->positionals[1]);
    auto bytes = readInput(parsed->positionals[2]);
    if (!bytes)
        return kExitFailure;
    // Read as the editor reads it, and written back in the same encoding and line ending.
    const DecodedText decoded = TextFileCodec::decode(*bytes);
    const std::u16string& text = decoded.text;

    auto plan = SearchEngine::planReplaceAll(request->pattern, text, replacement, std::nullopt,
                                             request->limit,
                                             SearchBudget(request->timeoutSeconds, nullptr));
    if (!plan)
        return searchFailed(plan.error());
    auto replaced = plan->applied(text);
    if (!replaced)
        return fail("the replacement plan does not fit the text");
    auto output = TextFileCodec::encode(*replaced, decoded.encoding, decoded.lineEnding);
    if (!output)
        return fail("the result holds characters that " +
                    std::string(textEncoding::rawValue(decoded.encoding)) +
                    " cannot encode; nothing written");
    if (auto target = parsed->value("-o")) {
        if (int status = writeOutputFile(*target, *output); status != kExitOK)
            return status;
    } else {
        writeStdout(*output);
    }
    std::cerr << plan->count << " replacements" << (plan->truncated ? " (truncated)" : "") << '\n';
    return kExitOK;
}

const CliCommand kReplace{
    "replace", "replace every match in a file",
    "Usage: vendrix-cli replace [--regex] [--match-case] [--whole-word] [--limit N]\n"
    "                           [--timeout SECONDS] PATTERN TEMPLATE FILE [-o OUT]\n\n"
    "Replaces every match of PATTERN in FILE (encoding detected as the editor does) and\n"
    "prints the new text on standard output, or writes it to OUT (OUT may be FILE). OUT is\n"
    "replaced atomically: an existing OUT keeps its mode (and its owner and group where\n"
    "permitted), a new one gets 0666 less the umask. The text is written in\n"
    "the file's encoding and line-ending style; a result that encoding cannot hold is an\n"
    "error and nothing is written. With --regex, TEMPLATE may use\n"
    "$1... for capture groups, \\n, \\t and \\ to escape; otherwise it is inserted as typed.\n"
    "\"N replacements\" goes to standard error, with \" (truncated)\" when the limit left\n"
    "matches unreplaced.\n\n"
    "Exit status: 0 done, 1 invalid or empty pattern or unreadable/unwritable file,\n"
    "2 usage, 3 the time budget (default 10 seconds) ran out.\n",
    runReplace};

static CommandRegistrar registrar{kReplace};

} // namespace
} // namespace vendrix::cli
