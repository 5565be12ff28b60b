// vendrix-cli replace: plans a replace-all over one file and applies it.
#include "cli/CliSupport.h"
#include "core/search/BackgroundSearch.h"
#include "core/search/SearchEngine.h"
#include "core/search/SearchPattern.h"
#include "core/text/LineEnding.h"

#include <unicode/ustring.h>

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

/// How the file was read, so that the result is written back the same way.
struct FileForm {
    bool latin1 = false;
    bool byteOrderMark = false;
    LineEnding lineEnding = LineEnding::lf;
};

std::u16string decodeDocument(std::string_view bytes, FileForm& form) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        form.byteOrderMark = true;
        bytes.remove_prefix(3);
    }
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    std::u16string text;
    if (status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status)) {
        status = U_ZERO_ERROR;
        text.resize(static_cast<size_t>(length));
        u_strFromUTF8(reinterpret_cast<UChar*>(text.data()), length, nullptr, bytes.data(),
                      static_cast<int32_t>(bytes.size()), &status);
    }
    if (U_FAILURE(status)) {
        form.latin1 = true;
        form.byteOrderMark = false;
        text.clear();
        for (unsigned char byte : bytes)
            text.push_back(static_cast<char16_t>(byte));
    }
    form.lineEnding = lineEnding::detect(text).value_or(LineEnding::lf);
    return lineEnding::needsNormalization(text) ? lineEnding::normalizeToLF(text) : text;
}

/// The bytes to write, or none when a character does not fit Latin-1.
std::optional<std::string> encodeDocument(std::u16string_view text, const FileForm& form) {
    std::u16string withEndings = lineEnding::apply(form.lineEnding, text);
    if (!form.latin1)
        return (form.byteOrderMark ? std::string("\xEF\xBB\xBF") : std::string()) +
               toUTF8(withEndings);
    std::string bytes;
    bytes.reserve(withEndings.size());
    for (char16_t c : withEndings) {
        if (c > 0xFF)
            return std::nullopt;
        bytes.push_back(static_cast<char>(c));
    }
    return bytes;
}

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
    FileForm form;
    const std::u16string text = decodeDocument(*bytes, form);

    auto plan = SearchEngine::planReplaceAll(*pattern, text, replacement, std::nullopt, limit,
                                             SearchBudget(timeout, nullptr));
    if (!plan)
        return fail(failureMessage(plan.error()), plan.error().kind == SearchFailure::Kind::timedOut
                                                      ? kExitTimedOut
                                                      : kExitFailure);
    auto replaced = plan->applied(text);
    if (!replaced)
        return fail("the replacement plan does not fit the text");
    auto output = encodeDocument(*replaced, form);
    if (!output)
        return fail("the result holds characters that Latin-1 cannot encode; nothing written");
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
    "Replaces every match of PATTERN in FILE (read as UTF-8, or Latin-1 when not valid\n"
    "UTF-8) and prints the new text on standard output, or writes it to OUT. The text is\n"
    "written in the file's encoding and line-ending style. With --regex, TEMPLATE may use\n"
    "$1... for capture groups, \\n, \\t and \\ to escape; otherwise it is inserted as typed.\n"
    "\"N replacements\" goes to standard error, with \" (truncated)\" when the limit left\n"
    "matches unreplaced.\n\n"
    "Exit status: 0 done, 1 invalid or empty pattern or unreadable/unwritable file,\n"
    "2 usage, 3 the time budget (default 10 seconds) ran out.\n",
    runReplace};

static CommandRegistrar registrar{kReplace};

} // namespace
} // namespace vendrix::cli
