#include "core/editing/LineOperations.h"

#include "core/editing/LineCollator.h"
#include "core/editing/LineIndexCheck.h"
#include "core/editing/Unicode.h"

#include <algorithm>
#include <deque>
#include <unordered_set>
#include <vector>

namespace vendrix {

namespace {

using Offset = std::int64_t;
using LineList = std::vector<std::u16string_view>;

std::u16string_view slice(std::u16string_view text, TextRange range) {
    return text.substr(static_cast<std::size_t>(range.location),
                       static_cast<std::size_t>(range.length));
}

Offset ulen(std::u16string_view s) {
    return static_cast<Offset>(s.size());
}

TextRange clampSelection(TextRange selection, Offset length) {
    Offset location = std::clamp<Offset>(selection.location, 0, length);
    Offset size = std::clamp<Offset>(selection.length, 0, length - location);
    return {location, size};
}

/// The whole lines a selection touches. A selection that spans lines and ends exactly at a
/// line start does not take that line. `range` runs from the first line's start to the last
/// line's end, never including the final LF.
struct LineBlock {
    Offset first = 0;
    Offset last = 0;
    TextRange range;
};

LineBlock lineBlock(const LineIndex& index, TextRange selection) {
    LineBlock block;
    block.first = index.lineNumber(selection.location);
    block.last = index.lineNumber(selection.end());
    if (selection.length > 0 && block.last > block.first &&
        selection.end() == index.lineStart(block.last))
        --block.last;
    Offset start = index.lineStart(block.first);
    block.range = {start, index.range(block.last).end() - start};
    return block;
}

LineList splitLines(std::u16string_view text) {
    LineList lines;
    std::size_t at = 0;
    while (true) {
        std::size_t lf = text.find(u'\n', at);
        if (lf == std::u16string_view::npos) {
            lines.push_back(text.substr(at));
            return lines;
        }
        lines.push_back(text.substr(at, lf - at));
        at = lf + 1;
    }
}

template <typename Piece>
std::u16string joinLines(const std::vector<Piece>& lines, std::u16string_view separator) {
    std::size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + separator.size();
    std::u16string out;
    out.reserve(total);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out.append(separator);
        out.append(lines[i]);
    }
    return out;
}

/// The result convention: nothing when the replacement equals the text it replaces.
std::optional<TextEdit> makeEdit(std::u16string_view text, TextRange range,
                                 std::u16string replacement, TextRange selection) {
    if (slice(text, range) == replacement)
        return std::nullopt;
    return TextEdit{range, std::move(replacement), selection};
}

/// Selection after replacing `range` by a text of `newLength`: a caret stays but not beyond
/// the replacement; a non-empty selection covers the replacement.
TextRange selectionAfterTransform(TextRange old, TextRange range, Offset newLength) {
    if (old.length == 0)
        return {std::min(range.location + newLength, old.location), 0};
    return {range.location, newLength};
}

/// Length of `line` without its trailing white-space clusters.
std::size_t trimmedLength(std::u16string_view line) {
    unicode::GraphemeClusters clusters(line);
    std::size_t end = line.size();
    while (end > 0) {
        char16_t u = line[end - 1];
        if (u < 0x80 && u != u' ' && u != u'\t' && (u < 0x0A || u > 0x0D))
            break;
        std::size_t start = clusters.clusterStart(end);
        if (!unicode::isAllWhitespace(line.substr(start, end - start)))
            break;
        end = start;
    }
    return end;
}

std::u16string_view withoutLeadingBlanks(std::u16string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t'))
        ++i;
    return s.substr(i);
}

/// The shared frame of the line-list commands: the whole text for a caret (keeping a final
/// LF), the line block otherwise; `rule` rewrites the list, keeping rewritten lines alive in
/// the deque it is given.
template <typename Rule>
std::optional<TextEdit> transformLineList(std::u16string_view text, const LineIndex& index,
                                          TextRange selection, Rule rule) {
    TextRange range;
    bool trailingLF = false;
    if (selection.length == 0) {
        range = {0, ulen(text)};
        trailingLF = !text.empty() && text.back() == u'\n';
    } else {
        range = lineBlock(index, selection).range;
    }
    LineList lines = splitLines(slice(text, range));
    if (trailingLF)
        lines.pop_back();
    std::deque<std::u16string> storage;
    rule(lines, storage);
    std::u16string joined = joinLines(lines, u"\n");
    // The final LF stays as long as any line does: only a list emptied by removing lines
    // loses it, never one whose last remaining line happens to be empty.
    if (trailingLF && !lines.empty())
        joined.push_back(u'\n');
    TextRange after = selectionAfterTransform(selection, range, ulen(joined));
    return makeEdit(text, range, std::move(joined), after);
}

void removeDuplicateLines(LineList& lines, std::deque<std::u16string>& storage) {
    std::unordered_set<std::u16string_view> seen;
    seen.reserve(lines.size());
    LineList kept;
    kept.reserve(lines.size());
    for (std::u16string_view line : lines) {
        std::u16string_view key = line;
        if (!unicode::isCanonicallyComposed(line))
            key = storage.emplace_back(unicode::canonicalComposition(line));
        if (seen.insert(key).second)
            kept.push_back(line);
    }
    lines = std::move(kept);
}

template <typename Rewrite>
void rewriteEachLine(LineList& lines, std::deque<std::u16string>& storage, Rewrite rewrite) {
    for (std::u16string_view& line : lines)
        if (std::optional<std::u16string> changed = rewrite(line))
            line = storage.emplace_back(std::move(*changed));
}

std::optional<TextEdit> changeCase(std::u16string_view text, const LineIndex& index,
                                   TextRange selection,
                                   std::u16string (*transform)(std::u16string_view)) {
    TextRange range = selection.length > 0 ? selection : lineBlock(index, selection).range;
    std::u16string changed = transform(slice(text, range));
    TextRange after = selectionAfterTransform(selection, range, ulen(changed));
    return makeEdit(text, range, std::move(changed), after);
}

std::optional<TextEdit> duplicate(std::u16string_view text, const LineIndex& index,
                                  TextRange selection) {
    if (selection.length > 0)
        return TextEdit{{selection.end(), 0}, std::u16string(slice(text, selection)), selection};
    TextRange line = index.range(index.lineNumber(selection.location));
    std::u16string inserted = u"\n";
    inserted.append(slice(text, line));
    return TextEdit{{line.end(), 0}, std::move(inserted), selection};
}

std::optional<TextEdit> deleteLines(std::u16string_view text, const LineIndex& index,
                                    TextRange selection) {
    if (text.empty())
        return std::nullopt;
    LineBlock block = lineBlock(index, selection);
    if (block.last + 1 < index.lineCount()) {
        Offset next = index.lineStart(block.last + 1);
        TextRange range{block.range.location, next - block.range.location};
        return makeEdit(text, range, u"", {block.range.location, 0});
    }
    if (block.first == 0)
        return makeEdit(text, {0, ulen(text)}, u"", {0, 0});
    Offset from = block.range.location - 1;
    return makeEdit(text, {from, ulen(text) - from}, u"", {index.lineStart(block.first - 1), 0});
}

std::optional<TextEdit> moveUp(std::u16string_view text, const LineIndex& index,
                               TextRange selection) {
    LineBlock block = lineBlock(index, selection);
    if (block.first == 0)
        return std::nullopt;
    TextRange previous = index.range(block.first - 1);
    std::u16string replacement(slice(text, block.range));
    replacement.push_back(u'\n');
    replacement.append(slice(text, previous));
    TextRange range{previous.location, block.range.end() - previous.location};
    TextRange after{selection.location - (previous.length + 1), selection.length};
    return makeEdit(text, range, std::move(replacement), after);
}

std::optional<TextEdit> moveDown(std::u16string_view text, const LineIndex& index,
                                 TextRange selection) {
    LineBlock block = lineBlock(index, selection);
    if (block.last >= index.lineCount() - 1)
        return std::nullopt;
    TextRange next = index.range(block.last + 1);
    std::u16string replacement(slice(text, next));
    replacement.push_back(u'\n');
    replacement.append(slice(text, block.range));
    TextRange range{block.range.location, next.end() - block.range.location};
    // A selection that ends at the start of the next line takes that LF along; when the
    // next line is the last, the block lands at the text end without an LF to select.
    const Offset newLength = ulen(text) - range.length + ulen(replacement);
    const Offset location = selection.location + next.length + 1;
    TextRange after{location, std::min(selection.length, newLength - location)};
    return makeEdit(text, range, std::move(replacement), after);
}

std::optional<TextEdit> joinLinesOperation(std::u16string_view text, const LineIndex& index,
                                           TextRange selection) {
    LineBlock block = lineBlock(index, selection);
    TextRange range = block.range;
    if (block.first == block.last) {
        if (block.last >= index.lineCount() - 1)
            return std::nullopt;
        range.length = index.range(block.last + 1).end() - range.location;
    }
    LineList pieces = splitLines(slice(text, range));
    LineList kept;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::u16string_view piece = pieces[i].substr(0, trimmedLength(pieces[i]));
        if (i > 0) {
            piece = withoutLeadingBlanks(piece);
            if (piece.empty())
                continue;
        }
        kept.push_back(piece);
    }
    if (kept.size() > 1 && kept.front().empty())
        kept.erase(kept.begin());
    std::u16string joined = joinLines(kept, u" ");
    TextRange after = selectionAfterTransform(selection, range, ulen(joined));
    return makeEdit(text, range, std::move(joined), after);
}

} // namespace

std::optional<TextEdit> LineOperations::apply(LineOperation operation, std::u16string_view text,
                                              const LineIndex& lineIndex, TextRange selection,
                                              int tabWidth) {
    if (!editing::lineIndexInStep(text, lineIndex))
        return std::nullopt;
    selection = clampSelection(selection, ulen(text));
    switch (operation) {
    case LineOperation::duplicate:
        return duplicate(text, lineIndex, selection);
    case LineOperation::deleteLines:
        return deleteLines(text, lineIndex, selection);
    case LineOperation::moveUp:
        return moveUp(text, lineIndex, selection);
    case LineOperation::moveDown:
        return moveDown(text, lineIndex, selection);
    case LineOperation::sortAscending:
    case LineOperation::sortDescending: {
        const bool descending = operation == LineOperation::sortDescending;
        return transformLineList(text, lineIndex, selection,
                                 [descending](LineList& lines, std::deque<std::u16string>&) {
                                     LineCollator::forCurrentThread().sortStable(lines, descending);
                                 });
    }
    case LineOperation::removeDuplicates:
        return transformLineList(text, lineIndex, selection, removeDuplicateLines);
    case LineOperation::trimTrailingWhitespace:
        return transformLineList(text, lineIndex, selection,
                                 [](LineList& lines, std::deque<std::u16string>&) {
                                     for (std::u16string_view& line : lines)
                                         line = line.substr(0, trimmedLength(line));
                                 });
    case LineOperation::removeEmptyLines:
        return transformLineList(text, lineIndex, selection,
                                 [](LineList& lines, std::deque<std::u16string>&) {
                                     std::erase_if(lines, [](std::u16string_view line) {
                                         return unicode::isAllWhitespace(line);
                                     });
                                 });
    case LineOperation::tabsToSpaces:
        return transformLineList(
            text, lineIndex, selection,
            [tabWidth](LineList& lines, std::deque<std::u16string>& storage) {
                rewriteEachLine(
                    lines, storage,
                    [tabWidth](std::u16string_view line) -> std::optional<std::u16string> {
                        if (line.find(u'\t') == std::u16string_view::npos)
                            return std::nullopt;
                        return expandTabs(line, tabWidth);
                    });
            });
    case LineOperation::leadingSpacesToTabs:
        return transformLineList(
            text, lineIndex, selection,
            [tabWidth](LineList& lines, std::deque<std::u16string>& storage) {
                rewriteEachLine(
                    lines, storage,
                    [tabWidth](std::u16string_view line) -> std::optional<std::u16string> {
                        if (line.empty() || (line[0] != u' ' && line[0] != u'\t'))
                            return std::nullopt;
                        return tabifyLeading(line, tabWidth);
                    });
            });
    case LineOperation::upperCase:
        return changeCase(text, lineIndex, selection, &LineOperations::upper);
    case LineOperation::lowerCase:
        return changeCase(text, lineIndex, selection, &LineOperations::lower);
    case LineOperation::titleCase:
        return changeCase(text, lineIndex, selection, &LineOperations::title);
    case LineOperation::joinLines:
        return joinLinesOperation(text, lineIndex, selection);
    }
    return std::nullopt;
}

std::optional<TextEdit> LineOperations::apply(LineOperation operation, std::u16string_view text,
                                              TextRange selection, int tabWidth) {
    return apply(operation, text, LineIndex(text), selection, tabWidth);
}

TextEdit LineOperations::duplicateLines(std::u16string_view text, const LineIndex& lineIndex,
                                        TextRange selection) {
    selection = clampSelection(selection, ulen(text));
    if (!editing::lineIndexInStep(text, lineIndex))
        return TextEdit{{selection.location, 0}, u"", selection};
    TextRange block = lineBlock(lineIndex, selection).range;
    std::u16string inserted = u"\n";
    inserted.append(slice(text, block));
    return TextEdit{{block.end(), 0}, std::move(inserted), selection};
}

std::optional<TextEdit> LineOperations::indent(std::u16string_view text, const LineIndex& lineIndex,
                                               TextRange selection, std::u16string_view unit) {
    if (!editing::lineIndexInStep(text, lineIndex))
        return std::nullopt;
    selection = clampSelection(selection, ulen(text));
    TextRange block = lineBlock(lineIndex, selection).range;
    std::u16string out;
    LineList lines = splitLines(slice(text, block));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out.push_back(u'\n');
        if (!lines[i].empty())
            out.append(unit);
        out.append(lines[i]);
    }
    TextRange after{block.location, ulen(out)};
    return makeEdit(text, block, std::move(out), after);
}

std::optional<TextEdit> LineOperations::outdent(std::u16string_view text,
                                                const LineIndex& lineIndex, TextRange selection,
                                                int tabWidth) {
    if (!editing::lineIndexInStep(text, lineIndex))
        return std::nullopt;
    selection = clampSelection(selection, ulen(text));
    const std::size_t n = static_cast<std::size_t>(std::max(tabWidth, 1));
    TextRange block = lineBlock(lineIndex, selection).range;
    LineList lines = splitLines(slice(text, block));
    Offset removedFromFirst = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::u16string_view& line = lines[i];
        std::size_t spaces = 0;
        while (spaces < n && spaces < line.size() && line[spaces] == u' ')
            ++spaces;
        std::size_t removed = spaces > 0 ? spaces : (!line.empty() && line[0] == u'\t' ? 1 : 0);
        line.remove_prefix(removed);
        if (i == 0)
            removedFromFirst = static_cast<Offset>(removed);
    }
    std::u16string out = joinLines(lines, u"\n");
    TextRange after =
        selection.length > 0
            ? TextRange{block.location, ulen(out)}
            : TextRange{std::max(block.location, selection.location - removedFromFirst), 0};
    return makeEdit(text, block, std::move(out), after);
}

std::u16string LineOperations::expandTabs(std::u16string_view s, int tabWidth) {
    if (s.find(u'\t') == std::u16string_view::npos)
        return std::u16string(s);
    const Offset n = std::max(tabWidth, 1);
    std::u16string out;
    out.reserve(s.size() + 16);
    Offset column = 0;
    unicode::forEachCluster(s, [&](std::size_t start, std::size_t end) {
        if (s[start] == u'\t') {
            Offset spaces = n - column % n;
            out.append(static_cast<std::size_t>(spaces), u' ');
            column += spaces;
        } else {
            out.append(s.substr(start, end - start));
            column += 1;
        }
    });
    return out;
}

std::u16string LineOperations::tabifyLeading(std::u16string_view s, int tabWidth) {
    const Offset n = std::max(tabWidth, 1);
    Offset column = 0;
    std::size_t run = 0;
    for (; run < s.size(); ++run) {
        if (s[run] == u' ')
            column += 1;
        else if (s[run] == u'\t')
            column += n - column % n;
        else
            break;
    }
    if (run == 0)
        return std::u16string(s);
    std::u16string out(static_cast<std::size_t>(column / n), u'\t');
    out.append(static_cast<std::size_t>(column % n), u' ');
    out.append(s.substr(run));
    return out;
}

std::u16string LineOperations::upper(std::u16string_view s) {
    return unicode::upperCased(s);
}

std::u16string LineOperations::lower(std::u16string_view s) {
    return unicode::lowerCased(s);
}

std::u16string LineOperations::title(std::u16string_view s) {
    std::u16string out;
    out.reserve(s.size());
    bool inWord = false;
    unicode::forEachCluster(s, [&](std::size_t start, std::size_t end) {
        std::u16string_view cluster = s.substr(start, end - start);
        if (cluster.size() == 1 && cluster[0] < 0x80) {
            // ASCII needs no case tables.
            char16_t u = cluster[0];
            const bool lower = u >= u'a' && u <= u'z', upper = u >= u'A' && u <= u'Z';
            if (!lower && !upper && !(u >= u'0' && u <= u'9') && u != u'\'') {
                out.push_back(u);
                inWord = false;
                return;
            }
            if (inWord && upper)
                u = static_cast<char16_t>(u + 32);
            else if (!inWord && lower)
                u = static_cast<char16_t>(u - 32);
            out.push_back(u);
            inWord = true;
            return;
        }
        char32_t first = unicode::firstScalar(cluster);
        bool wordCharacter = unicode::isLetter(first) || unicode::isNumber(first) ||
                             first == U'\'' || first == U'\u2019';
        if (!wordCharacter) {
            out.append(cluster);
            inWord = false;
            return;
        }
        out.append(inWord ? unicode::lowerCased(cluster) : unicode::upperCased(cluster));
        inWord = true;
    });
    return out;
}

} // namespace vendrix
