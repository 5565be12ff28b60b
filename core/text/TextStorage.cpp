#include "core/text/TextStorage.h"

#include "core/common/LargeString.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>

namespace vendrix {

namespace {

/// The smallest gap kept after a growth: enough for a long run of typing without regrowing.
constexpr std::int64_t kMinimumGap = 4096;
/// Growth beyond the needed room is an eighth of the text, capped so that a huge document
/// does not reserve hundreds of megabytes it will never use.
constexpr std::int64_t kMaximumExtraGap = std::int64_t{16} << 20;

std::int64_t extraGapFor(std::int64_t textLength) {
    return std::clamp(textLength / 8, kMinimumGap, kMaximumExtraGap);
}

/// A freshly opened text gets a smaller gap: opening should cost little more than the copy,
/// and a text that is only read never needs the room.
std::int64_t initialGapFor(std::int64_t textLength) {
    return std::clamp<std::int64_t>(textLength / 64, kMinimumGap, std::int64_t{1} << 20);
}

TextRange clampRange(TextRange range, std::int64_t textLength) {
    std::int64_t start = std::clamp<std::int64_t>(range.location, 0, textLength);
    std::int64_t length = std::clamp<std::int64_t>(range.length, 0, textLength - start);
    return {start, length};
}

void copyUnitsRaw(char16_t* out, const char16_t* from, std::int64_t count) {
    if (count > 0)
        std::memcpy(out, from, static_cast<size_t>(count) * sizeof(char16_t));
}

} // namespace

TextStorage::TextStorage() = default;

TextStorage::TextStorage(std::u16string_view text, std::uint64_t revision)
    : m_revision(revision), m_chunksRevision(revision) {
    // One allocation and one copy: a freshly opened document needs no other work here.
    const auto textLength = static_cast<std::int64_t>(text.size());
    const std::int64_t gap = initialGapFor(textLength);
    m_buffer.reserve(static_cast<size_t>(textLength + gap));
    m_buffer.assign(text.begin(), text.end());
    m_buffer.resize(static_cast<size_t>(textLength + gap));
    m_gapStart = textLength;
    m_gapEnd = textLength + gap;
}

std::unique_ptr<TextStorage> TextStorage::adopting(std::u16string&& text, std::uint64_t revision) {
    return std::unique_ptr<TextStorage>(new TextStorage(Adopt{}, std::move(text), revision));
}

TextStorage::TextStorage(Adopt, std::u16string&& text, std::uint64_t revision)
    : m_buffer(std::move(text)), m_revision(revision), m_chunksRevision(revision) {
    const auto textLength = static_cast<std::int64_t>(m_buffer.size());
    // Grows in place when the capacity allows, which a decoded file's does.
    m_buffer.resize(static_cast<size_t>(textLength + initialGapFor(textLength)));
    m_gapStart = textLength;
    m_gapEnd = static_cast<std::int64_t>(m_buffer.size());
}

std::int64_t TextStorage::gapToOpenWith(std::int64_t length) { return initialGapFor(length); }

std::int64_t TextStorage::length() const {
    return static_cast<std::int64_t>(m_buffer.size()) - (m_gapEnd - m_gapStart);
}

void TextStorage::copyUnits(TextRange range, char16_t* out) const {
    assert(range.fits(length()) && "TextStorage::copyUnits: range outside the text");
    range = clampRange(range, length());
    const char16_t* data = m_buffer.data();
    const std::int64_t gapLength = m_gapEnd - m_gapStart;
    const std::int64_t before =
        std::clamp<std::int64_t>(m_gapStart - range.location, 0, range.length);
    copyUnitsRaw(out, data + range.location, before);
    copyUnitsRaw(out + before, data + range.location + before + gapLength, range.length - before);
}

char16_t TextStorage::at(std::int64_t offset) const {
    assert(offset >= 0 && offset < length() && "TextStorage::at: offset outside the text");
    if (offset < 0 || offset >= length())
        return 0;
    if (offset < m_gapStart)
        return m_buffer[static_cast<size_t>(offset)];
    return m_buffer[static_cast<size_t>(offset + (m_gapEnd - m_gapStart))];
}

std::u16string TextStorage::substring(TextRange range) const {
    // Reserve and append rather than size-then-overwrite: no pass zero-filling a string that
    // is about to be overwritten (this library's resize_and_overwrite is not reliable).
    auto [first, second] = pieces(range);
    std::u16string result;
    result.reserve(first.size() + second.size());
    result.append(first);
    result.append(second);
    return result;
}

std::u16string TextStorage::string() const {
    return substring({0, length()});
}

std::u16string_view TextStorage::contiguous(TextRange range) {
    range = clampRange(range, length());
    if (range.location < m_gapStart && m_gapStart < range.end()) {
        // Move the gap to whichever end of the range is nearer.
        if (m_gapStart - range.location <= range.end() - m_gapStart)
            moveGapTo(range.location);
        else
            moveGapTo(range.end());
    }
    const char16_t* data = m_buffer.data();
    if (range.length == 0)
        return {};
    if (range.location >= m_gapStart)
        return {data + range.location + (m_gapEnd - m_gapStart), static_cast<size_t>(range.length)};
    return {data + range.location, static_cast<size_t>(range.length)};
}

void TextStorage::replace(TextRange range, std::u16string_view text) {
    range = clampRange(range, length());
    const bool chunksInStep = m_chunksRevision == m_revision;
    ++m_revision;
    m_snapshot.reset(); // a stale copy of a large text should not outlive its revision

    // The new text may be a view into this very buffer (a contiguous() result); moving the
    // gap or growing the buffer would pull it from under us, so copy it first.
    std::u16string ownCopy;
    const char16_t* bufferBegin = m_buffer.data();
    const char16_t* bufferEnd = bufferBegin + m_buffer.size();
    const std::less<const char16_t*> before{}; // a total order, also across unrelated arrays
    if (!text.empty() && before(text.data(), bufferEnd) &&
        before(bufferBegin, text.data() + text.size())) {
        ownCopy.assign(text);
        text = ownCopy;
    }

    // Delete the range. When the gap already touches it (the usual case for typing and
    // backspacing) no unit moves at all.
    if (m_gapStart >= range.location && m_gapStart <= range.end()) {
        m_gapEnd += range.end() - m_gapStart;
        m_gapStart = range.location;
    } else {
        moveGapTo(range.location);
        m_gapEnd += range.length;
    }

    const auto insertLength = static_cast<std::int64_t>(text.size());
    if (chunksInStep) {
        m_chunks.noteReplace(range.location, range.length, insertLength);
        m_chunksRevision = m_revision;
    }
    ensureGap(insertLength);
    copyUnitsRaw(m_buffer.data() + m_gapStart, text.data(), insertLength);
    m_gapStart += insertLength;
}

void TextStorage::replaceAll(const TextSnapshot& text) {
    const std::u16string_view units = text.view();
    const auto textLength = static_cast<std::int64_t>(units.size());
    const auto size = static_cast<std::int64_t>(m_buffer.size());
    ++m_revision;
    m_snapshot.reset();
    m_chunks.clear(); // every kept chunk holds the old text
    if (size >= textLength + kMinimumGap && size <= 2 * (textLength + extraGapFor(textLength))) {
        // The buffer's pages are mapped already: copying into them costs a fraction of
        // first-touching fresh memory.
        copyUnitsRaw(m_buffer.data(), units.data(), textLength);
        m_gapStart = textLength;
        m_gapEnd = size;
    } else {
        const std::int64_t gap = initialGapFor(textLength);
        m_buffer = {}; // give the old text back first: the peak holds one buffer, not two
        m_buffer.reserve(static_cast<size_t>(textLength + gap));
        m_buffer.assign(units.begin(), units.end());
        m_buffer.resize(static_cast<size_t>(textLength + gap));
        m_gapStart = textLength;
        m_gapEnd = textLength + gap;
    }
    m_snapshot = text.m_text;
}

TextSnapshot TextStorage::snapshot() const {
    // replace() drops the cached copy, so a cached copy always holds the current text, even
    // when setRevision() renumbered it.
    if (!m_snapshot)
        m_snapshot = std::make_shared<const std::u16string>(string());
    return TextSnapshot(m_snapshot, m_revision);
}

std::pair<std::u16string_view, std::u16string_view> TextStorage::pieces(TextRange range) const {
    range = clampRange(range, length());
    const char16_t* data = m_buffer.data();
    const std::int64_t gapLength = m_gapEnd - m_gapStart;
    const std::int64_t before =
        std::clamp<std::int64_t>(m_gapStart - range.location, 0, range.length);
    std::u16string_view first, second;
    if (before > 0)
        first = {data + range.location, static_cast<size_t>(before)};
    if (range.length - before > 0)
        second = {data + range.location + before + gapLength,
                  static_cast<size_t>(range.length - before)};
    if (first.empty())
        std::swap(first, second);
    return {first, second};
}

void TextStorage::moveGapTo(std::int64_t offset) {
    char16_t* data = m_buffer.data();
    if (offset < m_gapStart) {
        // Units [offset, gapStart) move to just before gapEnd.
        const std::int64_t count = m_gapStart - offset;
        std::memmove(data + m_gapEnd - count, data + offset,
                     static_cast<size_t>(count) * sizeof(char16_t));
        m_gapStart -= count;
        m_gapEnd -= count;
    } else if (offset > m_gapStart) {
        // Units after the gap, up to `offset`, move to gapStart.
        const std::int64_t count = offset - m_gapStart;
        std::memmove(data + m_gapStart, data + m_gapEnd,
                     static_cast<size_t>(count) * sizeof(char16_t));
        m_gapStart += count;
        m_gapEnd += count;
    }
}

void TextStorage::ensureGap(std::int64_t needed) {
    if (m_gapEnd - m_gapStart >= needed)
        return;
    const std::int64_t textLength = length();
    const std::int64_t gap = needed + extraGapFor(textLength + needed);
    const auto afterGap = static_cast<std::int64_t>(m_buffer.size()) - m_gapEnd;

    std::u16string grown;
    grown.reserve(static_cast<size_t>(textLength + gap));
    grown.assign(m_buffer.begin(), m_buffer.begin() + m_gapStart);
    grown.resize(static_cast<size_t>(m_gapStart + gap));
    grown.insert(grown.end(), m_buffer.begin() + m_gapEnd, m_buffer.end());
    m_buffer = std::move(grown);
    m_gapEnd = m_gapStart + gap;
    assert(static_cast<std::int64_t>(m_buffer.size()) - m_gapEnd == afterGap);
    (void)afterGap;
}

} // namespace vendrix
