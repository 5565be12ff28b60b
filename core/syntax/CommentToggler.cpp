#include "core/syntax/CommentToggler.h"

#include <algorithm>
#include <vector>

namespace vendrix {

namespace {

constexpr std::int64_t kChunk = 4096;

std::u16string copyText(const TextSource& text, TextRange range) {
    std::u16string out(static_cast<std::size_t>(range.length), u'\0');
    if (range.length > 0)
        text.copyUnits(range, out.data());
    return out;
}

/// The first LF at or after `from`, or the text length.
std::int64_t nextLineFeed(const TextSource& text, std::int64_t from) {
    const std::int64_t length = text.length();
    char16_t chunk[kChunk];
    for (std::int64_t at = from; at < length; at += kChunk) {
        std::int64_t count = std::min(kChunk, length - at);
        text.copyUnits(TextRange{at, count}, chunk);
        for (std::int64_t i = 0; i < count; ++i) {
            if (chunk[i] == u'\n')
                return at + i;
        }
    }
    return length;
}

/// The start of the line holding `offset` (just after the previous LF, or 0).
std::int64_t lineStartBefore(const TextSource& text, std::int64_t offset) {
    char16_t chunk[kChunk];
    for (std::int64_t end = offset; end > 0; end -= kChunk) {
        std::int64_t at = std::max<std::int64_t>(end - kChunk, 0);
        text.copyUnits(TextRange{at, end - at}, chunk);
        for (std::int64_t i = end - at - 1; i >= 0; --i) {
            if (chunk[i] == u'\n')
                return at + i + 1;
        }
    }
    return 0;
}

bool isIndent(char16_t c) {
    return c == u' ' || c == u'\t';
}
bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

std::size_t indentOf(std::u16string_view line) {
    std::size_t i = 0;
    while (i < line.size() && isIndent(line[i]))
        ++i;
    return i;
}

std::optional<CommentToggler::Edit> toggleLines(const TextSource& text, TextRange selection,
                                                const std::u16string& marker) {
    const TextRange span = CommentToggler::lineSpan(text, selection);
    const std::u16string original = copyText(text, span);
    std::vector<std::u16string> lines;
    for (std::size_t start = 0;;) {
        std::size_t lf = original.find(u'\n', start);
        lines.push_back(original.substr(start, lf == std::u16string::npos ? lf : lf - start));
        if (lf == std::u16string::npos)
            break;
        start = lf + 1;
    }

    bool anyNonBlank = false;
    bool allCommented = true;
    std::size_t column = SIZE_MAX;
    for (const auto& line : lines) {
        std::size_t indent = indentOf(line);
        if (indent == line.size())
            continue;
        anyNonBlank = true;
        column = std::min(column, indent);
        if (std::u16string_view(line).substr(indent).substr(0, marker.size()) != marker)
            allCommented = false;
    }

    // The change made to the first line: where, and by how many units.
    std::int64_t firstColumn = 0;
    std::int64_t firstChange = 0;
    if (anyNonBlank && allCommented) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::u16string& line = lines[i];
            std::size_t indent = indentOf(line);
            if (std::u16string_view(line).substr(indent).substr(0, marker.size()) != marker)
                continue;
            std::size_t removed = marker.size();
            if (indent + removed < line.size() && line[indent + removed] == u' ')
                ++removed;
            line.erase(indent, removed);
            if (i == 0) {
                firstColumn = static_cast<std::int64_t>(indent);
                firstChange = -static_cast<std::int64_t>(removed);
            }
        }
    } else {
        if (!anyNonBlank)
            column = 0;
        const std::u16string insertion = marker + u" ";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::u16string& line = lines[i];
            if (anyNonBlank && indentOf(line) == line.size())
                continue;
            std::size_t at = std::min(column, line.size());
            line.insert(at, insertion);
            if (i == 0) {
                firstColumn = static_cast<std::int64_t>(at);
                firstChange = static_cast<std::int64_t>(insertion.size());
            }
        }
    }

    std::u16string replacement;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            replacement += u'\n';
        replacement += lines[i];
    }
    const auto newLength = static_cast<std::int64_t>(replacement.size());
    TextRange after{span.location, newLength};
    if (selection.length == 0) {
        std::int64_t w = selection.location - span.location;
        if (w >= firstColumn)
            w = std::max(w + firstChange, firstColumn);
        after = TextRange{span.location + std::max<std::int64_t>(w, 0), 0};
    }
    return CommentToggler::Edit{span, std::move(replacement), after};
}

CommentToggler::Edit toggleBlock(const TextSource& text, TextRange selection,
                                 const BlockComment& block) {
    const TextRange range =
        selection.length > 0 ? selection : CommentToggler::lineSpan(text, selection);
    const std::u16string original = copyText(text, range);
    std::size_t lead = 0;
    while (lead < original.size() && isSpace(original[lead]))
        ++lead;
    std::size_t trail = original.size();
    while (trail > lead && isSpace(original[trail - 1]))
        --trail;
    std::u16string inner = original.substr(lead, trail - lead);
    const std::u16string_view leading(original.data(), lead);
    const std::u16string_view trailing(original.data() + trail, original.size() - trail);

    std::u16string replacement(leading);
    if (inner.size() >= block.open.size() + block.close.size() && inner.starts_with(block.open) &&
        inner.ends_with(block.close)) {
        inner =
            inner.substr(block.open.size(), inner.size() - block.open.size() - block.close.size());
        if (inner.starts_with(u' '))
            inner.erase(0, 1);
        if (inner.ends_with(u' '))
            inner.pop_back();
        replacement += inner;
    } else {
        replacement += block.open + u" " + inner + u" " + block.close;
    }
    replacement += trailing;
    const auto newLength = static_cast<std::int64_t>(replacement.size());
    return CommentToggler::Edit{range, std::move(replacement),
                                TextRange{range.location, newLength}};
}

} // namespace

TextRange CommentToggler::lineSpan(const TextSource& text, TextRange selection) {
    const std::int64_t length = text.length();
    const std::int64_t location = std::clamp<std::int64_t>(selection.location, 0, length);
    const std::int64_t size = std::clamp<std::int64_t>(selection.length, 0, length - location);
    const std::int64_t start = lineStartBefore(text, location);
    std::int64_t end = location + size;
    if (size > 0) {
        char16_t last = 0;
        text.copyUnits(TextRange{end - 1, 1}, &last);
        if (last == u'\n')
            --end; // a selection ending at a line start does not take that line
    }
    const std::int64_t spanEnd = nextLineFeed(text, std::max(end, start));
    return TextRange{start, spanEnd - start};
}

std::optional<CommentToggler::Edit>
CommentToggler::toggle(const TextSource& text, TextRange selection,
                       const std::optional<std::u16string>& lineComment,
                       const std::optional<BlockComment>& blockComment) {
    const std::int64_t length = text.length();
    selection.location = std::clamp<std::int64_t>(selection.location, 0, length);
    selection.length = std::clamp<std::int64_t>(selection.length, 0, length - selection.location);
    if (lineComment && !lineComment->empty())
        return toggleLines(text, selection, *lineComment);
    if (blockComment && !blockComment->open.empty() && !blockComment->close.empty())
        return toggleBlock(text, selection, *blockComment);
    return std::nullopt;
}

} // namespace vendrix
