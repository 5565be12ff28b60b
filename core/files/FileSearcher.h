#pragma once

#include "core/search/SearchBudget.h"
#include "core/search/SearchFailure.h"
#include "core/search/SearchPattern.h"
#include "core/search/Utf8LiteralSearch.h"

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vendrix {

/// One match in a file on disk, placed in the text the editor shows for the file (encoding
/// decoded, line breaks read as LF): 0-based line, UTF-16 column and length, and the line's
/// preview as SearchHit makes it.
struct FileHit {
    std::int64_t line = 0;
    std::int64_t column = 0;
    std::int64_t length = 0;
    std::u16string preview;
    /// Where the match starts in `preview`.
    std::int64_t previewColumn = 0;

    friend bool operator==(const FileHit&, const FileHit&) = default;
};

/// What searching one file (or walking past one) gave.
struct FileSearchResult {
    enum class Status {
        /// Searched; `hits` holds its matches (possibly none).
        searched,
        /// Skipped: the decoder calls it binary.
        binary,
        /// Skipped: larger than the size limit.
        tooLarge,
        /// Could not be read (vanished, no permission, not a regular file any more), or a
        /// folder could not be listed; `errnoValue` says why.
        unreadable,
        /// A symbolic link back into a folder being walked; not followed.
        linkLoop,
    };
    std::string path;
    Status status = Status::searched;
    std::vector<FileHit> hits;
    /// More matches were in the file than the limit allowed.
    bool truncated = false;
    int errnoValue = 0;

    friend bool operator==(const FileSearchResult&, const FileSearchResult&) = default;
};

/// The byte searches of a pattern, made once per search (making them costs a pass over the
/// folding tables) and shared by every FileSearcher. Immutable.
struct FileSearchPlan {
    explicit FileSearchPlan(SearchPattern searchPattern);

    SearchPattern pattern;
    /// For every UTF-8 file.
    std::optional<Utf8LiteralSearch> utf8Bytes;
    /// For files whose bytes are all ASCII, when utf8Bytes is none.
    std::optional<Utf8LiteralSearch> asciiBytes;
};

/// Searches files one at a time as the editor would open them: read whole (up to a size
/// limit), skipped when binary, searched in their bytes when the pattern and bytes allow it
/// and in the decoded text otherwise. Keeps one read buffer for the files it searches, so
/// its memory is the largest file read recently. One per thread.
class FileSearcher {
public:
    /// `maxFileSize` 0 means the reader's limit (UserFileReader::defaultMaxSize()).
    FileSearcher(std::shared_ptr<const FileSearchPlan> plan, std::uint64_t maxFileSize);

    /// At most `limit` (>= 1) hits of the file at `path`. A budget failure drops everything.
    [[nodiscard]] std::expected<FileSearchResult, SearchFailure>
    search(const std::string& path, std::int64_t limit, const SearchBudget& budget);

    /// True when every byte is below 0x80.
    [[nodiscard]] static bool isAscii(std::string_view bytes);

private:
    /// Reads the file into m_buffer; its size, or the result to report instead.
    std::expected<std::size_t, FileSearchResult> read(const std::string& path);

    std::shared_ptr<const FileSearchPlan> m_plan;
    std::uint64_t m_maxFileSize;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
};

} // namespace vendrix
