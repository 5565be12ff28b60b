#include "core/files/FileSearcher.h"

#include "core/search/MultiDocumentSearch.h"
#include "core/text/TextFileCodec.h"
#include "core/text/UserFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>

namespace vendrix {

namespace {

/// A buffer grown for a file larger than this is let go after the file, so that one large
/// file does not keep its memory for the rest of the search.
constexpr std::size_t kKeptBuffer = std::size_t{8} << 20;

} // namespace

FileSearchPlan::FileSearchPlan(SearchPattern searchPattern)
    : pattern(std::move(searchPattern)), utf8Bytes(Utf8LiteralSearch::make(pattern)) {
    if (!utf8Bytes)
        asciiBytes = Utf8LiteralSearch::makeForAscii(pattern);
}

FileSearcher::FileSearcher(std::shared_ptr<const FileSearchPlan> plan, std::uint64_t maxFileSize)
    : m_plan(std::move(plan)),
      m_maxFileSize(maxFileSize != 0 ? maxFileSize : UserFileReader::defaultMaxSize()) {}

bool FileSearcher::isAscii(std::string_view bytes) {
    const char* s = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    std::uint64_t any = 0;
    for (; i + 32 <= n; i += 32) {
        std::uint64_t w[4];
        std::memcpy(w, s + i, sizeof w);
        any |= w[0] | w[1] | w[2] | w[3];
        if ((i & 4095) == 0 && (any & 0x8080808080808080ULL) != 0)
            return false;
    }
    for (; i < n; ++i)
        any |= static_cast<unsigned char>(s[i]);
    return (any & 0x8080808080808080ULL) == 0;
}

std::expected<std::size_t, FileSearchResult> FileSearcher::read(const std::string& path) {
    // The editor's reader (UserFileReader) costs nine system calls a file; a search of a
    // tree of small files spends more time in them than in the search, so this reads the
    // same way with four: a non-blocking open (a FIFO put in the file's place cannot hang
    // the search), a look at what was opened, the read, the close.
    auto failed = [&](FileSearchResult::Status status, int errnoValue) {
        FileSearchResult result;
        result.path = path;
        result.status = status;
        result.errnoValue = errnoValue;
        return std::unexpected(std::move(result));
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failed(FileSearchResult::Status::unreadable, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return failed(FileSearchResult::Status::unreadable, errno);
    if (!S_ISREG(info.st_mode))
        return failed(FileSearchResult::Status::unreadable,
                      S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    const auto size = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    if (size > m_maxFileSize)
        return failed(FileSearchResult::Status::tooLarge, EFBIG);
    const auto needed = static_cast<std::size_t>(std::max<std::uint64_t>(size, 1));
    if (needed > m_capacity) {
        m_buffer.reset();
        m_capacity = 0;
        m_buffer.reset(new (std::nothrow) char[needed]);
        if (!m_buffer)
            return failed(FileSearchResult::Status::unreadable, ENOMEM);
        m_capacity = needed;
    }
    // The bytes the file had when it was opened; a file that shrinks meanwhile ends early.
    std::size_t filled = 0;
    bool blocking = false;
    while (filled < size) {
        const ssize_t count = ::read(fd, m_buffer.get() + filled, size - filled);
        if (count > 0) {
            filled += static_cast<std::size_t>(count);
            continue;
        }
        if (count == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN && !blocking) {
            // Only non-blocking was asked of a regular file (a network file system may
            // take it at its word): read it as usual.
            blocking = true;
            (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            continue;
        }
        return failed(FileSearchResult::Status::unreadable, errno);
    }
    return filled;
}

std::expected<FileSearchResult, SearchFailure>
FileSearcher::search(const std::string& path, std::int64_t limit, const SearchBudget& budget) {
    if (auto failure = budget.check())
        return std::unexpected(*failure);
    auto size = read(path);
    if (!size)
        return std::move(size.error());
    FileSearchResult result;
    result.path = path;
    const std::string_view bytes(m_buffer.get(), *size);
    struct Release {
        FileSearcher* searcher;
        ~Release() {
            if (searcher->m_capacity > kKeptBuffer) {
                searcher->m_buffer.reset();
                searcher->m_capacity = 0;
            }
        }
    } release{this};

    const FileSearchPlan& plan = *m_plan;
    const Utf8LiteralSearch* byteSearch = plan.utf8Bytes                      ? &*plan.utf8Bytes
                                          : plan.asciiBytes && isAscii(bytes) ? &*plan.asciiBytes
                                                                              : nullptr;
    if (byteSearch) {
        auto found = byteSearch->searchIfUtf8(bytes, limit, budget);
        if (!found)
            return std::unexpected(found.error());
        if (*found) {
            const auto length = static_cast<std::int64_t>(plan.pattern.options().query.size());
            result.truncated = (*found)->truncated;
            result.hits.reserve((*found)->hits.size());
            for (Utf8Hit& hit : (*found)->hits)
                result.hits.push_back(FileHit{hit.line, hit.column, length, std::move(hit.preview),
                                              hit.previewColumn});
            return result;
        }
    }
    // Not UTF-8 (or the pattern needs the text): decoded as the editor would show it.
    if (auto sample = TextFileCodec::detectFromSample(bytes); sample && sample->isBinary) {
        result.status = FileSearchResult::Status::binary;
        return result;
    }
    const DecodedText decoded = TextFileCodec::decode(bytes);
    if (decoded.isBinary) {
        result.status = FileSearchResult::Status::binary;
        return result;
    }
    const SearchDocument document(Uuid{}, std::u16string_view(decoded.text));
    auto searched =
        MultiDocumentSearch::search(plan.pattern, std::span(&document, 1), limit, budget);
    if (!searched)
        return std::unexpected(searched.error());
    result.truncated = searched->truncated;
    result.hits.reserve(searched->hits.size());
    for (SearchHit& hit : searched->hits)
        result.hits.push_back(FileHit{hit.line, hit.column, hit.range.length,
                                      std::move(hit.preview), hit.previewColumn});
    return result;
}

} // namespace vendrix
