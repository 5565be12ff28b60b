#include "core/files/FileSearcher.h"

#include "core/search/MultiDocumentSearch.h"
#include "core/text/TextFileCodec.h"
#include "core/text/UserFileReader.h"

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

std::expected<FileSearchResult, SearchFailure>
FileSearcher::search(const std::string& path, std::int64_t limit, const SearchBudget& budget) {
    if (auto failure = budget.check())
        return std::unexpected(*failure);
    FileSearchResult result;
    result.path = path;
    UserFileReadOptions options;
    options.maxSize = m_maxFileSize;
    auto place = [this](std::uint64_t size) -> char* {
        const auto needed = static_cast<std::size_t>(std::max<std::uint64_t>(size, 1));
        if (needed > m_capacity) {
            m_buffer.reset();
            m_buffer.reset(new char[needed]);
            m_capacity = needed;
        }
        return m_buffer.get();
    };
    auto placed = UserFileReader::readInto(path, options, place);
    if (!placed) {
        result.status = placed.error().kind == UserFileErrorKind::tooLarge &&
                                placed.error().errnoValue != ENOMEM
                            ? FileSearchResult::Status::tooLarge
                            : FileSearchResult::Status::unreadable;
        result.errnoValue = placed.error().errnoValue;
        return result;
    }
    const std::string_view bytes(m_buffer.get(), static_cast<std::size_t>(placed->size));
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
                result.hits.push_back(
                    FileHit{hit.line, hit.column, length, std::move(hit.preview)});
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
        result.hits.push_back(
            FileHit{hit.line, hit.column, hit.range.length, std::move(hit.preview)});
    return result;
}

} // namespace vendrix
