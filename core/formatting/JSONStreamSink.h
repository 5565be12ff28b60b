#pragma once

#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONGrammar.h"
#include "core/formatting/JSONUnits.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace vendrix {

/// The streaming JSON formatter's sink: checks each token against the grammar as the tokenizer
/// hands it over and writes it at once (pretty with `Pretty`, minified without), producing
/// the same bytes as the token array's writer for unsorted output. On UTF-16 units
/// (`CharT` char16_t) it produces the UTF-16 form of that output.
///
/// A failure found here (grammar or output size) is final only when the rest of the input
/// tokenizes: the token pipeline reports a tokenizer error anywhere in the input first, so
/// the caller re-checks with the validator when `failureNeedsRecheck()`.
///
/// The output limit is counted in UTF-8 bytes. On UTF-16 the sink cannot count those cheaply;
/// it stops at a third of the limit in units, below which the byte count cannot pass it, and
/// `hitLimit()` then tells the caller to decide on the UTF-8 form.
template <class CharT, bool Pretty>
class JSONStreamSink {
public:
    using Kind = JSONFormatter::Kind;
    using View = std::basic_string_view<CharT>;
    using String = std::basic_string<CharT>;
    static constexpr bool kWide = sizeof(CharT) > 1;
    /// Takes a block of finished output; false to stop (a write failure).
    using Consumer = std::function<bool(View)>;

    /// `token`: the job's progress and cancellation (null: none).
    JSONStreamSink(View input, std::string_view unit, ProgressToken* token)
        : m_input(input), m_src(input.data()), m_token(token), m_unit(unit.begin(), unit.end()),
          m_limit(std::max<std::uint64_t>(16 * static_cast<std::uint64_t>(input.size()), 67108864) /
                  (kWide ? 3 : 1)) {
        // Minified output never exceeds the input. Pretty output is reserved at twice the input
        // (only the pages written are ever touched), which most documents stay within.
        resizeUninitialized(Pretty ? 2 * input.size() + kSlack
                                   : input.size() + kSlack);
        m_lineRun = String(1, CharT('\n')) + String(kShortLine - 1, CharT(' '));
        m_softLimit = m_limit;
    }

    /// Hands the output to `consumer` in blocks of about `blockSize` units as it is produced
    /// instead of keeping it whole; finish() then gives an empty string. White space at the
    /// end of a block is held back until more output follows it (the output's trailing white
    /// space is dropped).
    ///
    /// `checked` when the input is known to be valid JSON: the grammar is then not checked
    /// again.
    void streamTo(const Consumer& consumer, std::size_t blockSize, bool checked) {
        m_checked = checked;
        m_consumer = &consumer;
        m_blockSize = blockSize;
        m_softLimit = std::min<std::uint64_t>(m_limit, blockSize);
        m_runLimit = static_cast<std::uint32_t>(std::min<std::size_t>(blockSize, UINT32_MAX));
    }

    /// Records the output's line starts in `starts` as it is written (UTF-16 output kept
    /// whole): 0, then the offset after each line feed of the finished output, as the line
    /// index of that output holds them. Strings of valid JSON hold no line feed; comments may.
    void recordLineStarts(std::vector<std::int64_t>& starts) {
        m_lineStarts = &starts;
        starts.clear();
        // Room for lines of 4 input units on average: untouched capacity costs no memory,
        // while regrowing a table of millions of starts copies it.
        starts.reserve(m_input.size() / 4 + 1024);
        preferHugePages(starts.data(), starts.capacity() * sizeof(std::int64_t));
        starts.push_back(0);
    }

    [[gnu::always_inline]] bool push(std::uint32_t start, std::uint32_t end, Kind kind,
                                     bool newlineBefore) {
        if (kind == Kind::lineComment || kind == Kind::blockComment)
            return Pretty ? comment(start, end, kind, newlineBefore) : true;
        if (!m_checked) {
            if (const char16_t* message = m_grammar.take(kind)) [[unlikely]]
                return fail(FormatError::at(m_input, start, message), true);
        }
        if constexpr (!Pretty) {
            // Minified output is the input without what lies between tokens: adjacent tokens
            // are collected into runs and each run is copied once.
            if (start != m_runEnd) {
                if (!copyRun())
                    return fail(FormatProgress::cancelledError(), false);
                m_runStart = start;
                if (m_size > m_softLimit && !pastSoftLimit(start)) [[unlikely]]
                    return false;
            }
            m_runEnd = end;
            if (m_runEnd - m_runStart > m_runLimit) [[unlikely]] {
                // A long run of output that is streamed goes in blocks too.
                if (!copyRun())
                    return fail(FormatProgress::cancelledError(), false);
                if (m_size > m_softLimit && !pastSoftLimit(start))
                    return false;
            }
            return true;
        } else {
            ensure(kSlack);
            if (m_openPending) {
                m_openPending = false;
                if (kind == Kind::objClose || kind == Kind::arrClose) {
                    m_data[m_size++] = m_src[start];
                    return m_size <= m_softLimit || pastSoftLimit(m_openStart);
                }
                ++m_depth;
                m_pending = Pending::newline;
            }
            switch (kind) {
            case Kind::objOpen:
            case Kind::arrOpen:
                if (!flush())
                    return tooLarge(start);
                m_data[m_size++] = m_src[start];
                m_openPending = true;
                m_openStart = start;
                break;
            case Kind::objClose:
            case Kind::arrClose:
                --m_depth;
                if (!newline())
                    return tooLarge(start);
                m_data[m_size++] = m_src[start];
                m_pending = Pending::none;
                break;
            case Kind::colon:
            case Kind::comma:
                if (!flush())
                    return tooLarge(start);
                m_data[m_size++] = m_src[start];
                m_pending = kind == Kind::colon ? Pending::space : Pending::newline;
                break;
            default:
                if (!flush())
                    return tooLarge(start);
                if (!copy(start, end))
                    return fail(FormatProgress::cancelledError(), false);
                m_pending = Pending::none;
                break;
            }
            return m_size <= m_softLimit || pastSoftLimit(start);
        }
    }

    FormatError failure() { return std::move(m_failure); }
    bool failed() const { return m_failed; }
    bool failureNeedsRecheck() const { return m_recheck; }
    bool hitLimit() const { return m_hitLimit; }
    /// True when the input is known to be valid JSON (see streamTo).
    bool checked() const { return m_checked; }
    /// Notes an unpaired surrogate in the input: the finished output has U+FFFD for each.
    void loneSurrogate() { m_repair = true; }

    /// After the whole input was taken: the finished output (trailing spaces, tabs and line
    /// feeds removed, a final line feed when the input ends with one), or the end-of-input
    /// failure.
    std::expected<String, FormatError> finish() {
        if (auto summary = m_grammar.finish(m_input); !summary && !m_checked)
            return std::unexpected(std::move(summary.error()));
        if (!Pretty && !copyRun())
            return std::unexpected(FormatProgress::cancelledError());
        if (m_consumer) {
            std::size_t end = m_size;
            while (end > 0 && (m_data[end - 1] == ' ' || m_data[end - 1] == '\t' ||
                               m_data[end - 1] == '\n'))
                --end;
            ensure(1);
            if (!m_input.empty() && m_input.back() == '\n')
                m_data[end++] = '\n';
            if (end > 0 && !(*m_consumer)(View(m_data, end)))
                return std::unexpected(writeFailure());
            return String();
        }
        if constexpr (kWide) {
            ensure(1);
            std::size_t end = m_size;
            while (end > 0 && (m_data[end - 1] == ' ' || m_data[end - 1] == '\t' ||
                               m_data[end - 1] == '\n'))
                --end;
            if (m_repair)
                JSONUnits<char16_t>::replaceLoneSurrogates(m_data, end);
            if (m_lineStarts) {
                // The trimmed line feeds go with their line starts.
                while (m_lineStarts->size() > 1 &&
                       m_lineStarts->back() > static_cast<std::int64_t>(end))
                    m_lineStarts->pop_back();
            }
            if (!m_input.empty() && m_input.back() == '\n') {
                m_data[end++] = '\n'; // the slack beyond m_size leaves room
                if (m_lineStarts)
                    m_lineStarts->push_back(static_cast<std::int64_t>(end));
            }
            m_storage.resize(end);
        } else {
            m_storage.resize(m_size);
            FormatText::finishBytes(m_storage, m_input);
        }
        return std::move(m_storage);
    }

private:
    enum class Pending : std::uint8_t { none, space, newline };
    // Room ensured before each token for its punctuation, a pending space and a short copy.
    static constexpr std::size_t kSlack = 64;
    // Line breaks with indentation up to this length are written with one fixed-size copy.
    static constexpr std::size_t kShortLine = 32;
    // Tokens longer than this are copied in slices, checking for cancellation between them.
    static constexpr std::size_t kSlice = 1 << 20;

    bool fail(FormatError error, bool recheck) {
        m_failure = std::move(error);
        m_failed = true;
        m_recheck = recheck;
        return false;
    }
    static FormatError writeFailure() { return FormatError::unpositioned(u"Çıktı yazılamadı"); }
    // The buffer passed the block size or the output limit: the output is too large, or the
    // finished part of the buffer goes to the consumer.
    [[gnu::noinline]] bool pastSoftLimit(std::uint32_t at) {
        if (m_size > m_limit || !m_consumer)
            return tooLarge(at);
        std::size_t keep = m_size;
        while (keep > 0 && (m_data[keep - 1] == ' ' || m_data[keep - 1] == '\t' ||
                            m_data[keep - 1] == '\n'))
            --keep;
        if (keep == 0)
            return true;
        if (!(*m_consumer)(View(m_data, keep)))
            return fail(writeFailure(), false);
        std::memmove(m_data, m_data + keep, (m_size - keep) * sizeof(CharT));
        m_size -= keep;
        m_limit -= keep;
        m_written += keep;
        m_softLimit = std::min<std::uint64_t>(m_limit, m_blockSize);
        return true;
    }
    bool tooLarge(std::uint32_t at) {
        m_hitLimit = true;
        return fail(FormatError::at(m_input, at,
                                    u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir"),
                    true);
    }
    void ensure(std::size_t more) {
        if (m_size + more > m_capacity) [[unlikely]]
            grow(m_size + more);
    }
    [[gnu::noinline]] void grow(std::size_t need) {
        resizeUninitialized(std::max(m_storage.size() * 2, need));
    }
    // Sizes the output storage without filling the new bytes: every byte is written before
    // the storage is cut to the output's length.
    void resizeUninitialized(std::size_t size) {
        m_storage.resize_and_overwrite(size, [](CharT*, std::size_t n) { return n; });
        m_data = m_storage.data();
        m_capacity = m_storage.size();
        preferHugePages(m_data, m_capacity * sizeof(CharT));
    }
    // Asks for huge pages for a large buffer not yet written.
    static void preferHugePages(const void* data, std::size_t bytes);
    // A line feed and `depth` indent units; false when that alone would pass the limit.
    [[gnu::always_inline]] bool newline() {
        const std::uint64_t lineBytes = 1 + m_depth * m_unit.size();
        if (m_size + lineBytes > m_limit) [[unlikely]]
            return false;
        if (m_lineRunUsable < lineBytes) [[unlikely]]
            regrowLineRun(lineBytes - 1);
        ensure(lineBytes + kSlack);
        // A short line break is one fixed-size copy, which compiles to a few moves.
        if (lineBytes <= kShortLine) [[likely]]
            std::memcpy(m_data + m_size, m_lineRun.data(), kShortLine * sizeof(CharT));
        else
            std::memcpy(m_data + m_size, m_lineRun.data(), lineBytes * sizeof(CharT));
        if (m_lineStarts)
            m_lineStarts->push_back(static_cast<std::int64_t>(m_size + 1));
        m_size += lineBytes;
        return true;
    }
    // Rebuilds the line run: a line feed and at least twice `indentBytes` of indent units.
    void regrowLineRun(std::uint64_t indentBytes);
    [[gnu::always_inline]] bool flush() {
        if (m_pending == Pending::space)
            m_data[m_size++] = ' ';
        else if (m_pending == Pending::newline && !newline())
            return false;
        m_pending = Pending::none;
        return true;
    }
    // Copies a token's bytes; false when cancelled while copying a long one.
    [[gnu::always_inline]] bool copy(std::uint32_t start, std::uint32_t end) {
        const std::size_t length = end - start;
        // Short tokens go as one fixed-size copy: the room ensured before each token holds
        // 32 more bytes even after a pending space.
        if (length <= 16 && start + 16 <= m_input.size()) [[likely]] {
            std::memcpy(m_data + m_size, m_src + start, 16 * sizeof(CharT));
            m_size += length;
            return true;
        }
        if (length <= 32 && start + 32 <= m_input.size()) {
            std::memcpy(m_data + m_size, m_src + start, 32 * sizeof(CharT));
            m_size += length;
            return true;
        }
        return copyLong(start, length);
    }
    bool copyLong(std::uint32_t start, std::size_t length);
    // Copies the pending run of adjacent tokens (minify); false when cancelled meanwhile.
    bool copyRun() {
        const std::size_t length = m_runEnd - m_runStart;
        m_runStart = m_runEnd;
        return length == 0 || copyLong(m_runEnd - static_cast<std::uint32_t>(length), length);
    }
    bool comment(std::uint32_t start, std::uint32_t end, Kind kind, bool newlineBefore);

    View m_input;
    const CharT* m_src;
    ProgressToken* m_token;
    String m_unit;
    std::uint64_t m_limit;
    String m_storage;
    CharT* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    String m_lineRun;
    std::uint64_t m_lineRunUsable = 1;
    std::uint64_t m_depth = 0;
    Pending m_pending = Pending::none;
    bool m_openPending = false;
    std::uint32_t m_runStart = 0;
    std::uint32_t m_runEnd = 0;
    std::uint32_t m_openStart = 0;
    JSONGrammar m_grammar;
    FormatError m_failure;
    bool m_failed = false;
    bool m_recheck = false;
    bool m_hitLimit = false;
    bool m_checked = false;
    const Consumer* m_consumer = nullptr;
    std::size_t m_blockSize = 0;
    // The limit on the buffer's size before it goes to the consumer or passes the limit.
    std::uint64_t m_softLimit = 0;
    // Units already handed to the consumer (m_limit counts from the buffer's start).
    std::uint64_t m_written = 0;
    // The longest run of adjacent tokens collected before it is copied (minified).
    std::uint32_t m_runLimit = UINT32_MAX;
    bool m_repair = false;
    std::vector<std::int64_t>* m_lineStarts = nullptr;
};

extern template class JSONStreamSink<char, true>;
extern template class JSONStreamSink<char, false>;
extern template class JSONStreamSink<char16_t, true>;
extern template class JSONStreamSink<char16_t, false>;

} // namespace vendrix
