#include "cli/commands/FolderFind.h"

#include "core/common/Utf8.h"
#include "core/files/FolderSearch.h"

#include <cstring>
#include <iostream>
#include <sys/stat.h>

namespace vendrix::cli {

namespace {

/// "100", "64K", "10M", "2G" (powers of 1024) as a byte count; none for anything else.
std::optional<std::uint64_t> parseSize(std::string text) {
    std::uint64_t scale = 1;
    if (!text.empty()) {
        switch (text.back()) {
        case 'k':
        case 'K':
            scale = std::uint64_t{1} << 10;
            break;
        case 'm':
        case 'M':
            scale = std::uint64_t{1} << 20;
            break;
        case 'g':
        case 'G':
            scale = std::uint64_t{1} << 30;
            break;
        default:
            break;
        }
        if (scale != 1)
            text.pop_back();
    }
    auto number = parseInteger(text);
    if (!number || *number < 1 || static_cast<std::uint64_t>(*number) > UINT64_MAX / scale)
        return std::nullopt;
    return static_cast<std::uint64_t>(*number) * scale;
}

} // namespace

bool wantsFolderFind(const ParsedArgs& parsed, const std::vector<std::string>& paths) {
    for (const std::string& option : kFolderValueOptions)
        if (parsed.value(option))
            return true;
    for (const std::string& flag : kFolderFlags)
        if (parsed.has(flag))
            return true;
    for (const std::string& path : paths) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            return true;
    }
    return false;
}

int runFolderFind(const CliCommand& command, const ParsedArgs& parsed, const SearchRequest& request,
                  const std::vector<std::string>& paths) {
    FolderSearchOptions options;
    options.walk.includeHidden = parsed.has("--hidden");
    options.walk.ignoreFilesOff = parsed.has("--no-ignore");
    options.walk.followLinks = parsed.has("--follow");
    options.walk.globs = parsed.valuesOf("--glob");
    for (const std::string& glob : options.walk.globs)
        if (glob.empty() || glob == "!")
            return usageError(command, "--glob needs a pattern");
    if (auto value = parsed.value("--max-filesize")) {
        auto size = parseSize(*value);
        if (!size)
            return usageError(command, "--max-filesize needs a size such as 500K, 10M or 1G");
        options.maxFileSize = *size;
    }
    options.limit = request.limit;

    // A path given that is not there fails the run before anything is searched, as files
    // named one by one always have.
    for (const std::string& path : paths) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            return fail("cannot read " + path + ": " + std::strerror(errno));
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            return fail("cannot read " + path + ": not a regular file");
    }

    std::string out;
    std::string problems;
    bool unreadable = false;
    auto sink = [&](FileSearchResult&& result) {
        using Status = FileSearchResult::Status;
        switch (result.status) {
        case Status::searched:
            for (const FileHit& hit : result.hits) {
                out += result.path;
                out += ':' + std::to_string(hit.line + 1) + ':' + std::to_string(hit.column + 1) +
                       ": ";
                utf8::append(out, hit.preview);
                out += '\n';
            }
            break;
        case Status::unreadable:
            unreadable = true;
            problems +=
                "vendrix-cli: cannot read " + result.path + ": " +
                (result.errnoValue == EINVAL ? std::string("not a regular file")
                                             : std::string(std::strerror(result.errnoValue))) +
                "\n";
            break;
        case Status::linkLoop:
            problems += "vendrix-cli: " + result.path +
                        ": symbolic link back into a folder being searched, not followed\n";
            break;
        case Status::binary:
        case Status::tooLarge:
            break;
        }
    };
    const SearchBudget budget(request.timeoutSeconds, nullptr);
    auto summary = FolderSearch::run(request.pattern, paths, options, budget, sink);
    if (!summary)
        return searchFailed(summary.error());
    out += std::to_string(summary->hitCount) + " hits" +
           (summary->truncated ? " (truncated)" : "") + "\n";
    writeStdout(out);
    if (summary->tooLargeSkipped > 0)
        problems += "vendrix-cli: " + std::to_string(summary->tooLargeSkipped) +
                    (summary->tooLargeSkipped == 1 ? " file" : " files") +
                    " over the size limit skipped\n";
    std::cerr << problems;
    return unreadable ? kExitFailure : kExitOK;
}

} // namespace vendrix::cli
