#pragma once

#include "core/files/FileSearcher.h"
#include "core/files/FolderWalker.h"

#include <cstdint>
#include <expected>
#include <functional>
#include <span>
#include <string>

namespace vendrix {

/// How a search over files and folders runs.
struct FolderSearchOptions {
    FolderWalkOptions walk;
    /// Larger files are skipped (and counted); 0 means the reader's limit.
    std::uint64_t maxFileSize = 0;
    /// Hits over all files, counted in path order.
    std::int64_t limit = 10'000;
    /// Threads searching files; 0 means one per hardware thread.
    unsigned workerCount = 0;
};

/// The counts of a finished search over files.
struct FolderSearchSummary {
    std::int64_t filesSearched = 0;
    std::int64_t filesWithHits = 0;
    std::int64_t hitCount = 0;
    std::int64_t binarySkipped = 0;
    std::int64_t tooLargeSkipped = 0;
    /// Files or folders that could not be read, and link loops.
    std::int64_t problems = 0;
    /// The limit cut the search short: a file had more hits, or files remained.
    bool truncated = false;

    friend bool operator==(const FolderSearchSummary&, const FolderSearchSummary&) = default;
};

/// One pattern over the files of a walk, several files at a time on a pool of threads, each
/// reading one file at a time. Results reach the sink in path order whatever order the
/// files finish in: every file with hits and every file skipped or unreadable, one call at a
/// time (on a worker thread). Workers run at most a window of files ahead of the oldest
/// file not yet reported, so memory stays bounded by the window, not the tree.
namespace FolderSearch {

using Sink = std::function<void(FileSearchResult&&)>;

/// Searches `roots` (files and folders). The first `limit` hits in path order are
/// reported; a file's hits beyond it are dropped. A budget failure (time out, cancelled)
/// stops the workers and gives the failure; the sink may have had results before it.
[[nodiscard]] std::expected<FolderSearchSummary, SearchFailure>
run(const SearchPattern& pattern, std::span<const std::string> roots,
    const FolderSearchOptions& options, const SearchBudget& budget, const Sink& sink);

} // namespace FolderSearch
} // namespace vendrix
