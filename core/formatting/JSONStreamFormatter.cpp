// The streaming JSON formatter: tokenizing, checking and writing in one pass, without a token
// array, for unsorted pretty and minified output.
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONScan.h"
#include "core/formatting/JSONStreamSink.h"

#include <sys/mman.h>

namespace vendrix {

template <class CharT, bool Pretty>
void JSONStreamSink<CharT, Pretty>::regrowLineRun(std::uint64_t indentBytes) {
    const std::uint64_t target = 2 * indentBytes;
    String run = m_unit;
    run.reserve(target);
    while (run.size() < target)
        run.append(run, 0, std::min<std::uint64_t>(run.size(), target - run.size()));
    m_lineRun = CharT('\n') + run;
    m_lineRunUsable = m_lineRun.size();
    m_lineRun.resize(std::max<std::size_t>(m_lineRun.size(), kShortLine), CharT(' '));
}

template <class CharT, bool Pretty>
void JSONStreamSink<CharT, Pretty>::preferHugePages(const void* data, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    // Below this a table of small pages costs little.
    constexpr std::size_t kFromBytes = std::size_t{4} << 20;
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (bytes < kFromBytes)
        return;
    // Written once from start to end, a large buffer takes a page fault every 4 KB, which
    // is a large share of the writing; in 2 MB pages it takes a few hundred at most, and
    // reading it back (the line index, the view) misses the TLB less. Only the whole huge
    // pages inside the buffer are advised; the kernel falls back to small pages when it has
    // no huge ones.
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t to = (begin + bytes) & ~(kHuge - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

template <class CharT, bool Pretty>
bool JSONStreamSink<CharT, Pretty>::copyLong(std::uint32_t start, std::size_t length) {
    ensure(length + kSlack);
    for (std::size_t done = 0; done < length; done += kSlice) {
        std::memcpy(m_data + m_size + done, m_src + start + done,
                    std::min(kSlice, length - done) * sizeof(CharT));
        if (length - done > kSlice && FormatProgress::isCancelled(m_token))
            return false;
    }
    m_size += length;
    return true;
}

template <class CharT, bool Pretty>
bool JSONStreamSink<CharT, Pretty>::comment(std::uint32_t start, std::uint32_t end, Kind kind,
                                     bool newlineBefore) {
    ensure(kSlack);
    if (m_openPending) {
        // A comment right after a bracket: the container is not written as empty.
        m_openPending = false;
        ++m_depth;
        m_pending = Pending::newline;
    }
    if (m_size + m_written == 0) {
        m_pending = Pending::newline;
    } else if (newlineBefore) {
        if (!newline())
            return tooLarge(start);
        m_pending = Pending::newline;
    } else {
        m_data[m_size++] = ' ';
        if (kind == Kind::lineComment)
            m_pending = Pending::newline;
    }
    if (!copy(start, end))
        return fail(FormatProgress::cancelledError(), false);
    if (m_lineStarts) {
        // A block comment may hold line breaks.
        const std::size_t from = m_size - (end - start);
        for (std::size_t i = from; i < m_size; ++i)
            if (m_data[i] == '\n')
                m_lineStarts->push_back(static_cast<std::int64_t>(i + 1));
    }
    return m_size <= m_softLimit || pastSoftLimit(start);
}

template class JSONStreamSink<char, true>;
template class JSONStreamSink<char, false>;
template class JSONStreamSink<char16_t, true>;
template class JSONStreamSink<char16_t, false>;

namespace {

template <bool Pretty>
std::expected<std::string, FormatError> stream(std::string_view bytes, std::string_view unit,
                                               ProgressToken* progress) {
    JSONStreamSink<char, Pretty> sink(bytes, unit, progress);
    if (auto failure = jsonScan::scan(bytes, sink, 1.0, progress)) {
        // A grammar or size failure stands only when no tokenizer error follows it.
        if (sink.failed() && sink.failureNeedsRecheck()) {
            if (auto checked = JSONFormatter::validateUTF8(bytes, progress); !checked)
                return std::unexpected(std::move(checked.error()));
        }
        return std::unexpected(std::move(*failure));
    }
    return sink.finish();
}

// The UTF-16 stream; none when the output passes the sink's unit limit, and the UTF-8 form
// decides.
template <bool Pretty>
std::optional<std::expected<std::u16string, FormatError>> stream16(
    std::u16string_view text, std::string_view unit, std::vector<std::int64_t>* lineStarts,
    ProgressToken* progress) {
    JSONStreamSink<char16_t, Pretty> sink(text, unit, progress);
    if (lineStarts)
        sink.recordLineStarts(*lineStarts);
    if (auto failure = jsonScan::scan(text, sink, 1.0, progress)) {
        if (sink.hitLimit())
            return std::nullopt;
        // A grammar failure stands only when no tokenizer error follows it.
        if (sink.failed() && sink.failureNeedsRecheck()) {
            jsonScan::CheckSink check;
            if (auto tokenizerError = jsonScan::scan(text, check, 1.0, progress))
                return std::unexpected(std::move(*tokenizerError));
        }
        return std::unexpected(std::move(*failure));
    }
    return sink.finish();
}

// The text's UTF-8 form streamed and decoded: what the UTF-16 stream stands for.
std::expected<std::u16string, FormatError> throughUTF8(std::u16string_view text,
                                                       std::optional<FormatIndent> indent,
                                                       ProgressToken* progress) {
    auto bytes = FormatText::inputBytes(text, progress);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto output = JSONFormatter::streamUTF8(*bytes, indent, progress);
    if (!output)
        return std::unexpected(std::move(output.error()));
    return FormatText::finish(std::move(*output), *bytes, progress);
}

} // namespace

std::expected<std::string, FormatError> JSONFormatter::streamUTF8(
    std::string_view bytes, std::optional<FormatIndent> indent, ProgressToken* progress) {
    if (bytes.size() > maxInputBytes)
        return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
    if (indent)
        return stream<true>(bytes, indent->unit(), progress);
    return stream<false>(bytes, std::string_view(), progress);
}

namespace {

// streamUTF16, recording the pretty output's line starts in `lineStarts` when given (left
// empty when the output is not made on UTF-16 units or fails).
std::expected<std::u16string, FormatError> streamWide(std::u16string_view text,
                                                      std::optional<FormatIndent> indent,
                                                      std::vector<std::int64_t>* lineStarts,
                                                      ProgressToken* progress) {
    if (lineStarts)
        lineStarts->clear();
    if (text.size() > JSONFormatter::maxInputBytes)
        return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
    // Whether the UTF-8 form passes the byte limit is not known without encoding it; a text
    // that might is taken through that form.
    if (text.size() > JSONFormatter::maxInputBytes / 3)
        return throughUTF8(text, indent, progress);
    auto result = indent ? stream16<true>(text, indent->unit(), lineStarts, progress)
                         : stream16<false>(text, std::string_view(), nullptr, progress);
    if (!result || !*result) {
        if (lineStarts)
            lineStarts->clear();
        if (!result)
            return throughUTF8(text, indent, progress);
    }
    return std::move(*result);
}

} // namespace

std::expected<std::u16string, FormatError> JSONFormatter::streamUTF16(
    std::u16string_view text, std::optional<FormatIndent> indent, ProgressToken* progress) {
    return streamWide(text, indent, nullptr, progress);
}

std::expected<std::u16string, FormatError> JSONFormatter::pretty(
    std::u16string_view text, FormatIndent indent, std::vector<std::int64_t>& lineStarts,
    ProgressToken* progress) {
    return streamWide(text, indent, &lineStarts, progress);
}

} // namespace vendrix
