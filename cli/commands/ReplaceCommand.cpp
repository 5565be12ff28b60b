// vendrix-cli replace: plans a replace-all over one file and applies it.
#include "cli/CliSupport.h"
#include "core/search/BackgroundSearch.h"
#include "core/search/SearchEngine.h"
#include "core/search/SearchPattern.h"
#include "core/text/TextFileCodec.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <unistd.h>

namespace vendrix::cli {
namespace {

constexpr int kExitTimedOut = 3;

extern const CliCommand kReplace;

/// Writes through a temporary file in the same directory, so a failure never leaves a
/// half-written file behind.
bool writeFileReplacing(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    fs::path target(path);
    fs::path temporary = target;
    temporary += ".vendrix-" + std::to_string(::getpid()) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

std::string failureMessage(const SearchFailure& failure) {
    switch (failure.kind) {
    case SearchFailure::Kind::invalidPattern:
        return "invalid regular expression: " + toUTF8(failure.pattern);
    case SearchFailure::Kind::emptyQuery:
        return "the search text is empty";
    case SearchFailure::Kind::timedOut:
        return "the search took too long and was stopped (timedOut)";
    case SearchFailure::Kind::cancelled:
        return "the search was cancelled (cancelled)";
    }
    return "the search failed";
}

int runReplace(std::span<const std::string> args) {
    auto parsed = parseArgs(kReplace, args, {"--limit", "--timeout", "-o"},
                            {"--regex", "--match-case", "--whole-word"});
    if (!parsed)
        return kExitUsage;
    if (parsed->positionals.size() != 3)
        return usageError(kReplace, "PATTERN, TEMPLATE and FILE are needed");
    std::int64_t limit = std::numeric_limits<std::int64_t>::max();
    if (auto value = parsed->value("--limit")) {
        auto number = parseInteger(*value);
        if (!number || *number < 0)
            return usageError(kReplace, "--limit needs a whole number of at least 0");
        limit = *number;
    }
    double timeout = BackgroundSearch::bulkTimeout;
    if (auto value = parsed->value("--timeout")) {
        try {
            size_t used = 0;
            timeout = std::stod(*value, &used);
            if (used != value->size() || !(timeout >= 0))
                throw std::invalid_argument("timeout");
        } catch (const std::exception&) {
            return usageError(kReplace, "--timeout needs a number of seconds");
        }
    }

    SearchOptions options{fromUTF8(parsed->positionals[0]), parsed->has("--regex"),
                          parsed->has("--match-case"), parsed->has("--whole-word")};
    auto pattern = SearchPattern::compile(options);
    if (!pattern)
        return fail(failureMessage(pattern.error()));
    const std::u16string replacement = fromUTF8(parsed->positionals[1]);
    auto bytes = readInput(parsed->positionals[2]);
    if (!bytes)
        return kExitFailure;
    // Read as the editor reads it, and written back in the same encoding and line ending.
    const DecodedText decoded = TextFileCodec::decode(*bytes);
    const std::u16string& text = decoded.text;

    auto plan = SearchEngine::planReplaceAll(*pattern, text, replacement, std::nullopt, limit,
                                             SearchBudget(timeout, nullptr));
    if (!plan)
        return fail(failureMessage(plan.error()), plan.error().kind == SearchFailure::Kind::timedOut
                                                      ? kExitTimedOut
                                                      : kExitFailure);
    auto replaced = plan->applied(text);
    if (!replaced)
        return fail("the replacement plan does not fit the text");
    auto output = TextFileCodec::encode(*replaced, decoded.encoding, decoded.lineEnding);
    if (!output)
        return fail("the result holds characters that " +
                    std::string(textEncoding::rawValue(decoded.encoding)) +
                    " cannot encode; nothing written");
    if (auto target = parsed->value("-o")) {
        if (!writeFileReplacing(*target, *output))
            return fail("cannot write " + *target);
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
    "prints the new text on standard output, or writes it to OUT. The text is written in\n"
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
