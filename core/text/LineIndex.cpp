#include "core/text/LineIndex.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>
#include <thread>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace vendrix {

namespace {

constexpr std::int64_t kChunkUnits = 65536;
/// The least width of the gap kept in the table of starts.
constexpr size_t kMinGap = 64;

#if defined(__x86_64__)
/// The AVX2 form of the scan below: 32 units a step, two mask bits per unit.
__attribute__((target("avx2"))) std::int64_t collectStartsAVX2(const char16_t* units,
                                                               std::int64_t count,
                                                               std::int64_t base,
                                                               std::vector<std::int64_t>& out) {
    const __m256i lf = _mm256_set1_epi16(u'\n');
    std::int64_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const auto* p = reinterpret_cast<const __m256i*>(units + i);
        auto lo = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_loadu_si256(p), lf)));
        auto hi = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_loadu_si256(p + 1), lf)));
        std::uint64_t mask = lo | (std::uint64_t(hi) << 32);
        while (mask != 0) {
            auto bit = static_cast<std::int64_t>(__builtin_ctzll(mask));
            out.push_back(base + i + bit / 2 + 1);
            mask &= mask - 1;
            mask &= mask - 1;
        }
    }
    return i;
}

bool hasAVX2() {
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
}
#endif

/// Appends `base + i + 1` for every LF at position i of `units`.
void collectStarts(const char16_t* units, std::int64_t count, std::int64_t base,
                   std::vector<std::int64_t>& out) {
    std::int64_t i = 0;
#if defined(__x86_64__)
    if (hasAVX2())
        i = collectStartsAVX2(units, count, base, out);
#endif
#if defined(__SSE2__)
    // Eight units per compare: most of a text has no LF, so skip it in 16-byte steps.
    const __m128i lf = _mm_set1_epi16(u'\n');
    for (; i + 8 <= count; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, lf)));
        while (mask != 0) {
            unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
            out.push_back(base + i + bit / 2 + 1);
            mask &= ~(3u << bit);
        }
    }
#endif
    for (; i < count; ++i)
        if (units[i] == u'\n')
            out.push_back(base + i + 1);
}

/// Calls collectStarts over `range` of `source`, chunk by chunk; a contiguous source is read
/// in place.
void collectStarts(const TextSource& source, TextRange range, std::vector<std::int64_t>& out) {
    if (auto* plain = dynamic_cast<const StringTextSource*>(&source)) {
        collectStarts(plain->view().data() + range.location, range.length, range.location, out);
        return;
    }
    std::unique_ptr<char16_t[]> buffer(new char16_t[static_cast<size_t>(
        std::min<std::int64_t>(std::max<std::int64_t>(range.length, 1), kChunkUnits))]);
    for (std::int64_t done = 0; done < range.length; done += kChunkUnits) {
        std::int64_t n = std::min(kChunkUnits, range.length - done);
        source.copyUnits({range.location + done, n}, buffer.get());
        collectStarts(buffer.get(), n, range.location + done, out);
    }
}

} // namespace

LineIndex::LineIndex() : m_starts{0}, m_blockShift{0}, m_gapBegin(1), m_gapEnd(1) {}

LineIndex::LineIndex(std::u16string_view text) : LineIndex(StringTextSource(text)) {}

LineIndex::LineIndex(const TextSource& text) { rebuild(text); }

void LineIndex::rebuild(const TextSource& text) {
    m_starts.clear();
    m_length = text.length();
    m_longest = -1; // found on first request
    m_longestBound = m_length;
    // Room for lines of 64 units on average, so a large file rarely regrows the table.
    m_starts.reserve(static_cast<size_t>(m_length / 64 + 16));
    m_starts.push_back(0);
    collectStarts(text, {0, m_length}, m_starts);
    finishTable();
}

LineIndex::LineIndex(std::vector<std::int64_t> starts, std::int64_t length)
    : m_starts(std::move(starts)), m_length(length), m_longest(-1), m_longestBound(length) {
    assert(!m_starts.empty() && m_starts.front() == 0 && m_starts.back() <= length);
    if (m_starts.empty())
        m_starts.push_back(0);
    finishTable();
}

void LineIndex::appendLineStarts(std::u16string_view units, std::int64_t base,
                                 std::vector<std::int64_t>& starts) {
    collectStarts(units.data(), static_cast<std::int64_t>(units.size()), base, starts);
}

void LineIndex::finishTable() {
    if (m_starts.capacity() > 4 * m_starts.size() + 4096)
        m_starts.shrink_to_fit();
    // The gap starts at the end, in whatever room the table already has.
    const size_t n = m_starts.size();
    m_starts.resize(n + std::min(m_starts.capacity() - n, std::max(kMinGap, n / 32)));
    m_gapBegin = n;
    m_gapEnd = m_starts.size();
    m_blockShift.assign((m_starts.size() >> kShiftBits) + 1, 0);
}

LineIndex LineIndex::ofLargeText(std::u16string_view text) {
    constexpr size_t kParallelFrom = size_t{1} << 22;
    if (text.size() < kParallelFrom)
        return LineIndex(text);
    // Room for lines of 8 units on average: untouched capacity costs no memory, while
    // regrowing a table of millions of starts copies it.
    const size_t half = text.size() / 2;
    std::vector<std::int64_t> later;
    std::thread scanner([&] {
        later.reserve((text.size() - half) / 8 + kMinGap);
        collectStarts(text.data() + half, static_cast<std::int64_t>(text.size() - half),
                      static_cast<std::int64_t>(half), later);
    });
    std::vector<std::int64_t> starts;
    starts.reserve(text.size() / 8 + 2 * kMinGap);
    starts.push_back(0);
    collectStarts(text.data(), static_cast<std::int64_t>(half), 0, starts);
    scanner.join();

    // One table for both halves, with the gap at its end as rebuild() leaves it.
    starts.insert(starts.end(), later.begin(), later.end());
    return LineIndex(std::move(starts), static_cast<std::int64_t>(text.size()));
}

void LineIndex::shiftFrom(size_t index, std::int64_t delta) {
    if (index >= count() || delta == 0)
        return;
    const size_t slot = slotOf(index);
    const size_t block = slot >> kShiftBits;
    // The rest of the block, gap slots included (their values are never read).
    const size_t blockEnd = std::min(m_starts.size(), (block + 1) << kShiftBits);
    for (size_t i = slot; i < blockEnd; ++i)
        m_starts[i] += delta;
    for (size_t b = block + 1; b < m_blockShift.size(); ++b)
        m_blockShift[b] += delta;
}

void LineIndex::moveGapTo(size_t index) {
    index = std::min(index, count());
    const size_t gap = m_gapEnd - m_gapBegin;
    std::int64_t* s = m_starts.data();
    const std::int64_t* shift = m_blockShift.data();
    constexpr size_t kBlock = size_t{1} << kShiftBits;
    // An entry that changes block takes on the difference of the two blocks' shifts; entries
    // are moved in runs that stay within one source and one destination block.
    if (gap != 0 && index > m_gapBegin) { // later entries move before the gap
        for (size_t i = m_gapBegin; i < index;) {
            const size_t from = i + gap;
            const size_t run = std::min({index - i, kBlock - (i % kBlock), kBlock - (from % kBlock)});
            const std::int64_t adjust = shift[from >> kShiftBits] - shift[i >> kShiftBits];
            for (size_t k = 0; k < run; ++k)
                s[i + k] = s[from + k] + adjust;
            i += run;
        }
    } else if (gap != 0) { // earlier entries move behind the gap, the last first
        for (size_t i = m_gapBegin; i > index;) {
            const size_t to = i - 1 + gap; // the last entry of this run goes here
            const size_t run = std::min({i - index, (i - 1) % kBlock + 1, to % kBlock + 1});
            const std::int64_t adjust = shift[(i - 1) >> kShiftBits] - shift[to >> kShiftBits];
            for (size_t k = 1; k <= run; ++k)
                s[i - k + gap] = s[i - k] + adjust;
            i -= run;
        }
    }
    m_gapBegin = index;
    m_gapEnd = index + gap;
}

void LineIndex::widenGap(size_t units) {
    if (m_gapEnd - m_gapBegin >= units)
        return;
    // Widen in proportion to the table, so that regrowing stays rare however many lines
    // are added.
    // The new table holds true values: its blocks start without a shift.
    const size_t newGap = units + std::max(kMinGap, count() / 32);
    std::vector<std::int64_t> grown;
    grown.reserve(count() + newGap);
    for (size_t i = 0; i < m_gapBegin; ++i)
        grown.push_back(valueAt(i));
    grown.resize(m_gapBegin + newGap);
    for (size_t i = m_gapEnd; i < m_starts.size(); ++i)
        grown.push_back(valueAt(i));
    m_starts.swap(grown);
    m_gapEnd = m_gapBegin + newGap;
    m_blockShift.assign((m_starts.size() >> kShiftBits) + 1, 0);
}

std::vector<std::int64_t> LineIndex::lineStarts() const {
    std::vector<std::int64_t> starts;
    starts.reserve(count());
    for (size_t i = 0; i < count(); ++i)
        starts.push_back(startAt(i));
    return starts;
}

bool operator==(const LineIndex& a, const LineIndex& b) {
    if (a.m_length != b.m_length || a.count() != b.count())
        return false;
    for (size_t i = 0; i < a.count(); ++i)
        if (a.startAt(i) != b.startAt(i))
            return false;
    return true;
}

size_t LineIndex::firstStartAfter(std::int64_t offset) const {
    size_t lo = 0, hi = count();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (startAt(mid) <= offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::int64_t LineIndex::longestLineLength() const {
    if (m_longest >= 0)
        return m_longest;
    std::int64_t longest = 0;
    const size_t n = count();
    for (size_t i = 0; i + 1 < n; ++i)
        longest = std::max(longest, startAt(i + 1) - 1 - startAt(i));
    m_longest = std::max(longest, m_length - startAt(n - 1));
    m_longestBound = m_longest;
    return m_longest;
}

bool LineIndex::hasLineLongerThan(std::int64_t length) const {
    return m_longestBound > length && longestLineLength() > length;
}

std::int64_t LineIndex::lineNumber(std::int64_t offset) const {
    if (count() == 1 || offset <= 0)
        return 0;
    return static_cast<std::int64_t>(firstStartAfter(offset)) - 1;
}

std::int64_t LineIndex::lineStart(std::int64_t line) const {
    line = std::clamp<std::int64_t>(line, 0, lineCount() - 1);
    return startAt(static_cast<size_t>(line));
}

TextRange LineIndex::range(std::int64_t line) const {
    line = std::clamp<std::int64_t>(line, 0, lineCount() - 1);
    std::int64_t start = startAt(static_cast<size_t>(line));
    std::int64_t end = line + 1 < lineCount() ? startAt(static_cast<size_t>(line + 1)) - 1 : m_length;
    return {start, end - start};
}

void LineIndex::update(TextRange editedRange, std::int64_t changeInLength,
                       std::u16string_view newText) {
    update(editedRange, changeInLength, StringTextSource(newText));
}

void LineIndex::update(TextRange editedRange, std::int64_t changeInLength,
                       const TextSource& newText) {
    const std::int64_t loc = editedRange.location;
    const std::int64_t newLen = editedRange.length;
    const std::int64_t oldLen = newLen - changeInLength;
    const bool consistent = oldLen >= 0 && loc >= 0 && newLen >= 0 &&
                            loc + oldLen <= m_length &&
                            m_length + changeInLength == newText.length() &&
                            editedRange.fits(newText.length());
    assert(consistent && "LineIndex::update: edit report does not fit the indexed text");
    if (!consistent) {
        rebuild(newText);
        return;
    }

    // Starts at or before loc stay; the starts in lo..<hi came from LFs in the replaced text.
    const size_t lo = firstStartAfter(loc);
    const size_t hi = firstStartAfter(loc + oldLen);

    // The lines the edit touched, before it: lo - 1 holds loc, hi - 1 holds its end.
    std::int64_t oldLongest = 0;
    for (size_t i = lo - 1; i < hi; ++i)
        oldLongest = std::max(oldLongest, lengthAt(i));

    std::vector<std::int64_t> inserted;
    collectStarts(newText, {loc, newLen}, inserted);

    // Every start from hi on moves by the change.
    if (lo == hi && inserted.empty()) {
        // The same lines: no entry comes or goes, the gap stays where it is.
        shiftFrom(hi, changeInLength);
    } else {
        // Move the gap to hi (which costs the distance from where it was) and shift what
        // follows it; the starts in lo..<hi, now just before the gap, join it and the new
        // ones fill its front.
        moveGapTo(hi);
        shiftFrom(hi, changeInLength);
        m_gapBegin = lo;
        widenGap(inserted.size());
        for (std::int64_t start : inserted) {
            m_starts[m_gapBegin] = start - m_blockShift[m_gapBegin >> kShiftBits];
            ++m_gapBegin;
        }
    }
    m_length += changeInLength;

    // The touched lines are now lo - 1 ... lo - 1 + inserted.size(); all others kept theirs.
    std::int64_t newLongest = 0;
    for (size_t i = lo - 1; i < lo + inserted.size(); ++i)
        newLongest = std::max(newLongest, lengthAt(i));
    if (m_longest >= 0 && oldLongest >= m_longest && newLongest < m_longest) {
        m_longest = -1; // the longest line got shorter: some other line may now be
    } else if (m_longest >= 0) {
        m_longest = std::max(m_longest, newLongest);
        m_longestBound = m_longest;
    } else {
        m_longestBound = std::min(std::max(m_longestBound, newLongest), m_length);
    }

    assert(m_length < (1 << 20) ? matches(newText) : true);
}

bool LineIndex::matches(const TextSource& text) const {
    LineIndex fresh(text);
    return fresh == *this;
}

} // namespace vendrix
