// vendrix-cli find: the multi-document search over files opened as documents.
#include "cli/CliSupport.h"
#include "cli/commands/FolderFind.h"
#include "cli/commands/MappedInput.h"
#include "cli/commands/SearchCommandSupport.h"
#include "core/common/Utf8.h"
#include "core/search/MultiDocumentSearch.h"
#include "core/search/Utf8LiteralSearch.h"

#include <iostream>

namespace vendrix::cli {
namespace {

extern const CliCommand kFind;

int runFind(std::span<const std::string> args) {
    std::set<std::string> valueOptions = kSearchValueOptions, flags = kSearchFlags;
    valueOptions.insert(kFolderValueOptions.begin(), kFolderValueOptions.end());
    flags.insert(kFolderFlags.begin(), kFolderFlags.end());
    auto parsed = parseArgs(kFind, args, valueOptions, flags);
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() < 2)
        return usageError(kFind, "a pattern and at least one file or folder are needed");
    auto request = searchRequest(kFind, *parsed, MultiDocumentSearch::defaultLimit);
    if (!request)
        return request.error();

    const std::vector<std::string> files(parsed->positionals.begin() + 1,
                                         parsed->positionals.end());
    if (wantsFolderFind(*parsed, files))
        return runFolderFind(kFind, *parsed, *request, files);
    // Every file is read before the search starts, so an unreadable one fails the run early.
    // A plain query over a UTF-8 file is searched in its bytes; anything else in the text
    // the editor would show.
    const auto byteSearch = Utf8LiteralSearch::make(request->pattern);
    const MappedReadGuard guard;
    std::vector<std::unique_ptr<MappedInput>> mapped(files.size());
    std::vector<std::string> owned(files.size());
    std::vector<std::string_view> bytes(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (byteSearch && (mapped[i] = MappedInput::map(files[i]))) {
            bytes[i] = mapped[i]->bytes();
            continue;
        }
        auto contents = readInput(files[i]);
        if (!contents)
            return kExitFailure;
        owned[i] = std::move(*contents);
        bytes[i] = owned[i];
    }
    // What was read from a mapped file counts only while the file is still the one mapped.
    auto checkMapped = [&] {
        for (const auto& input : mapped)
            if (input)
                input->exitIfChanged();
    };
    std::vector<std::optional<std::u16string>> texts(files.size());
    auto decode = [&](size_t i) {
        texts[i] = documentText(bytes[i]);
        if (mapped[i]) {
            mapped[i]->exitIfChanged();
            mapped[i].reset();
        }
        std::string().swap(owned[i]);
    };
    if (!byteSearch)
        for (size_t i = 0; i < files.size(); ++i)
            decode(i);

    const SearchBudget budget(request->timeoutSeconds, nullptr);
    std::string out;
    std::int64_t hitCount = 0;
    bool truncated = false;
    auto print = [&](const std::string& file, std::int64_t line, std::int64_t column,
                     std::u16string_view preview) {
        out += file + ":" + std::to_string(line + 1) + ":" + std::to_string(column + 1) + ": ";
        utf8::append(out, preview);
        out += '\n';
        ++hitCount;
    };
    for (size_t i = 0; i < files.size(); ++i) {
        const std::int64_t remaining = request->limit - hitCount;
        if (remaining < 1) {
            truncated = true;
            break;
        }
        if (!texts[i]) {
            auto found = byteSearch->searchIfUtf8(bytes[i], remaining, budget);
            if (!found) {
                checkMapped();
                return searchFailed(found.error());
            }
            if (*found) {
                for (const Utf8Hit& hit : (*found)->hits)
                    print(files[i], hit.line, hit.column, hit.preview);
                truncated = truncated || (*found)->truncated;
                continue;
            }
            decode(i); // not UTF-8: searched as the editor shows it
        }
        const SearchDocument document(Uuid{}, std::u16string_view(*texts[i]));
        auto result = MultiDocumentSearch::search(request->pattern, std::span(&document, 1),
                                                  remaining, budget);
        if (!result) {
            checkMapped();
            return searchFailed(result.error());
        }
        for (const SearchHit& hit : result->hits)
            print(files[i], hit.line, hit.column, hit.preview);
        truncated = truncated || result->truncated;
    }
    out += std::to_string(hitCount) + " hits" + (truncated ? " (truncated)" : "") + "\n";
    checkMapped();
    writeStdout(out);
    return kExitOK;
}

const CliCommand kFind{
    "find", "search files for a text or regular expression",
    "Usage: vendrix-cli find [--regex] [--match-case] [--whole-word] [--limit N]\n"
    "                        [--timeout SECONDS] [--hidden] [--no-ignore] [--follow]\n"
    "                        [--glob GLOB]... [--max-filesize SIZE] PATTERN PATH...\n\n"
    "Searches the files as the editor opens them (encoding detected, line breaks read as\n"
    "LF) and prints each hit as FILE:LINE:COLUMN: PREVIEW (line and UTF-16 column\n"
    "1-based), then \"N hits\", or \"N hits (truncated)\" when the limit (default 10000)\n"
    "cut the search short.\n\n"
    "A folder is searched recursively, its files in path order, several at a time. Hidden\n"
    "files and folders, .git, .hg and .svn are skipped, and so is what .gitignore files\n"
    "(inside a git work tree), .git/info/exclude and .ignore files exclude, files the\n"
    "editor would open as binary, and symbolic links. A file named on the command line is\n"
    "always searched.\n\n"
    "  --regex            PATTERN is an ICU regular expression\n"
    "  --match-case       letter case is significant\n"
    "  --whole-word       matches may not touch a letter, digit or underscore\n"
    "  --limit N          stop after N hits\n"
    "  --timeout S        time budget in seconds (default 10)\n"
    "  --hidden           search hidden files and folders too\n"
    "  --no-ignore        do not read .gitignore, .ignore and .git/info/exclude\n"
    "  --follow           follow symbolic links (a link back into the tree is skipped)\n"
    "  --glob GLOB        search only files matching GLOB (gitignore syntax, relative to\n"
    "                     the folder); !GLOB excludes; repeatable, the last match decides\n"
    "  --max-filesize S   skip files larger than S bytes (suffix K, M or G); skipped files\n"
    "                     are counted on standard error\n\n"
    "Exit status: 0 done, 1 invalid or empty pattern or unreadable file or folder (the\n"
    "hits of the others are printed), 2 usage, 3 the time budget ran out.\n",
    runFind};

static CommandRegistrar registrar{kFind};

} // namespace
} // namespace vendrix::cli
