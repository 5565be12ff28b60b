// vendrix-cli find: the multi-document search over files opened as documents.
#include "cli/CliSupport.h"
#include "cli/commands/SearchCommandSupport.h"
#include "core/search/MultiDocumentSearch.h"

#include <iostream>

namespace vendrix::cli {
namespace {

extern const CliCommand kFind;

int runFind(std::span<const std::string> args) {
    auto parsed = parseArgs(kFind, args, kSearchValueOptions, kSearchFlags);
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() < 2)
        return usageError(kFind, "a pattern and at least one file are needed");
    auto request = searchRequest(kFind, *parsed, MultiDocumentSearch::defaultLimit);
    if (!request)
        return request.error();

    const std::vector<std::string> files(parsed->positionals.begin() + 1,
                                         parsed->positionals.end());
    std::vector<std::u16string> texts;
    texts.reserve(files.size());
    std::vector<SearchDocument> documents;
    for (size_t i = 0; i < files.size(); ++i) {
        auto bytes = readInput(files[i]);
        if (!bytes)
            return kExitFailure;
        texts.push_back(documentText(*bytes));
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        Uuid id;
        for (size_t b = 0; b < 8; ++b)
            id.bytes[15 - b] = static_cast<std::uint8_t>(i >> (8 * b));
        documents.emplace_back(id, std::u16string_view(texts[i]));
    }

    auto result = MultiDocumentSearch::search(request->pattern, documents, request->limit,
                                              SearchBudget(request->timeoutSeconds, nullptr));
    if (!result)
        return searchFailed(result.error());
    std::string out;
    for (const SearchHit& hit : result->hits) {
        size_t index = 0;
        for (size_t b = 0; b < 8; ++b)
            index |= static_cast<size_t>(hit.documentID.bytes[15 - b]) << (8 * b);
        out += files[index] + ":" + std::to_string(hit.line + 1) + ":" +
               std::to_string(hit.column + 1) + ": " + toUTF8(hit.preview) + "\n";
    }
    out += std::to_string(result->hits.size()) + " hits" +
           (result->truncated ? " (truncated)" : "") + "\n";
    writeStdout(out);
    return kExitOK;
}

const CliCommand kFind{
    "find", "search files for a text or regular expression",
    "Usage: vendrix-cli find [--regex] [--match-case] [--whole-word] [--limit N]\n"
    "                        [--timeout SECONDS] PATTERN FILE...\n\n"
    "Searches the files as the editor opens them (encoding detected, line breaks read as\n"
    "LF) and prints each hit as FILE:LINE:COLUMN: PREVIEW (line and UTF-16 column\n"
    "1-based), then \"N hits\", or \"N hits (truncated)\" when the limit (default 10000)\n"
    "cut the search short.\n\n"
    "  --regex        PATTERN is an ICU regular expression\n"
    "  --match-case   letter case is significant\n"
    "  --whole-word   matches may not touch a letter, digit or underscore\n"
    "  --limit N      stop after N hits\n"
    "  --timeout S    time budget in seconds (default 10)\n\n"
    "Exit status: 0 done, 1 invalid or empty pattern or unreadable file, 2 usage,\n"
    "3 the time budget ran out.\n",
    runFind};

static CommandRegistrar registrar{kFind};

} // namespace
} // namespace vendrix::cli
