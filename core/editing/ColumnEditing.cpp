#include "core/editing/ColumnEditing.h"

#include "core/editing/ColumnLayout.h"
#include "core/editing/LineIndexCheck.h"
#include "core/editing/Unicode.h"
#include "core/editing/VisualColumn.h"
#include "core/text/LineEnding.h"

#include <algorithm>
#include <numeric>
#include <set>

namespace vendrix {

namespace {

using Offset = std::int64_t;

/// What happened on one span's line: the caret column of an edited line, or the width of a
/// line that was left alone.
struct LineOutcome {
    std::optional<Offset> newColumn;
    std::optional<Offset> lineWidth;
};

/// The selection after typing or deleting. Edited lines take their new caret column; lines
/// left alone follow the reference column, unless they are wide enough to keep their own
/// caret, which makes the result ragged.
ColumnSelection selectionAfterEdit(const ColumnSelection& old,
                                   const std::vector<ColumnLineSpan>& spans,
                                   const std::vector<LineOutcome>& outcomes) {
    std::optional<Offset> reference;
    for (std::size_t i = 0; i < spans.size(); ++i)
        if (spans[i].line == old.active.line && outcomes[i].newColumn)
            reference = outcomes[i].newColumn;
    if (!reference)
        for (const LineOutcome& outcome : outcomes)
            if (outcome.newColumn) {
                reference = outcome.newColumn;
                break;
            }
    const Offset e = reference.value_or(old.leftColumn());

    std::vector<Offset> columns;
    std::set<Offset> editedColumns;
    bool ragged = false;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const LineOutcome& outcome = outcomes[i];
        if (outcome.newColumn) {
            columns.push_back(*outcome.newColumn);
            editedColumns.insert(*outcome.newColumn);
        } else if (outcome.lineWidth && *outcome.lineWidth >= e) {
            columns.push_back(old.columns(spans[i].line).start);
            ragged = true;
        } else {
            columns.push_back(e);
        }
    }
    ColumnSelection result{{old.anchor.line, e}, {old.active.line, e}, std::nullopt};
    if (editedColumns.size() > 1 || ragged) {
        while (static_cast<Offset>(columns.size()) < old.lineCount())
            columns.push_back(e);
        result.caretColumns = std::move(columns);
    }
    return result;
}

bool isBlank(char16_t u) {
    return u == u' ' || u == u'\t';
}

/// Word characters for word deletion: letters, marks and numbers, the underscore, and any
/// surrogate unit (so a supplementary character never splits).
bool isWordUnit(char16_t u) {
    return (u >= 0xD800 && u <= 0xDFFF) || unicode::isWordCharacter(u);
}

/// The range one deletion removes on a line with the caret at `caret`, before clipping.
TextRange deletionRange(ColumnEditing::Deletion kind, Offset caret, TextRange content,
                        std::u16string_view text) {
    std::u16string_view line = text.substr(static_cast<std::size_t>(content.location),
                                           static_cast<std::size_t>(content.length));
    const auto p =
        static_cast<std::size_t>(std::clamp<Offset>(caret - content.location, 0, content.length));
    std::size_t from = p, to = p;
    switch (kind) {
    case ColumnEditing::Deletion::backward:
        if (p > 0)
            from = unicode::GraphemeClusters(line).clusterStart(p);
        break;
    case ColumnEditing::Deletion::forward:
        if (p < line.size())
            to = unicode::GraphemeClusters(line).clusterEnd(p);
        break;
    case ColumnEditing::Deletion::wordBackward:
        while (from > 0 && isBlank(line[from - 1]))
            --from;
        if (from > 0) {
            const bool word = isWordUnit(line[from - 1]);
            while (from > 0 && !isBlank(line[from - 1]) && isWordUnit(line[from - 1]) == word)
                --from;
        }
        break;
    case ColumnEditing::Deletion::wordForward:
        while (to < line.size() && isBlank(line[to]))
            ++to;
        if (to < line.size()) {
            const bool word = isWordUnit(line[to]);
            while (to < line.size() && !isBlank(line[to]) && isWordUnit(line[to]) == word)
                ++to;
        }
        break;
    }
    return {content.location + static_cast<Offset>(from), static_cast<Offset>(to - from)};
}

/// An edit that changes nothing and keeps the selection, for input that does not fit.
ColumnEdit refused(const ColumnSelection& selection) {
    ColumnEdit edit;
    edit.selection = selection;
    return edit;
}

bool accepts(const ColumnSelection& selection, std::u16string_view text,
             const LineIndex& lineIndex) {
    return editing::lineIndexInStep(text, lineIndex) && selection.isWellFormed();
}

} // namespace

ColumnEdit ColumnEditing::insert(std::u16string_view typed, const ColumnSelection& selection,
                                 std::u16string_view text, const LineIndex& lineIndex,
                                 int tabWidth) {
    if (!accepts(selection, text, lineIndex))
        return refused(selection);
    std::vector<ColumnLineSpan> spans = ColumnLayout::spans(selection, text, lineIndex, tabWidth);
    std::vector<LineOutcome> outcomes;
    ColumnEdit edit;
    for (const ColumnLineSpan& span : spans) {
        if (span.range) {
            edit.ranges.push_back(*span.range);
            edit.strings.emplace_back(typed);
            outcomes.push_back(
                {span.startColumn + VisualColumn::widthOf(typed, span.startColumn, tabWidth),
                 std::nullopt});
        } else {
            TextRange content = VisualColumn::contentRange(span.line, text, lineIndex);
            outcomes.push_back({std::nullopt, VisualColumn::widthOfLine(content, text, tabWidth)});
        }
    }
    edit.selection = selectionAfterEdit(selection, spans, outcomes);
    return edit;
}

ColumnEdit ColumnEditing::deleteText(Deletion kind, const ColumnSelection& selection,
                                     std::u16string_view text, const LineIndex& lineIndex,
                                     int tabWidth) {
    if (!accepts(selection, text, lineIndex))
        return refused(selection);
    std::vector<ColumnLineSpan> spans = ColumnLayout::spans(selection, text, lineIndex, tabWidth);
    const bool block = selection.isRectangular() && selection.width() > 0;
    std::vector<LineOutcome> outcomes;
    ColumnEdit edit;
    for (const ColumnLineSpan& span : spans) {
        TextRange content = VisualColumn::contentRange(span.line, text, lineIndex);
        std::optional<TextRange> removed;
        Offset newColumn = span.startColumn;
        if (span.range && block) {
            if (span.range->length > 0)
                removed = span.range;
        } else if (span.range) {
            TextRange wanted = deletionRange(kind, span.range->location, content, text);
            std::optional<TextRange> clipped = wanted.intersection(content);
            if (clipped && clipped->length > 0) {
                removed = clipped;
                newColumn = VisualColumn::column(clipped->location, content, text, tabWidth);
            }
        }
        if (removed) {
            edit.ranges.push_back(*removed);
            edit.strings.emplace_back();
            outcomes.push_back({newColumn, std::nullopt});
        } else {
            outcomes.push_back({std::nullopt, VisualColumn::widthOfLine(content, text, tabWidth)});
        }
    }
    edit.selection = selectionAfterEdit(selection, spans, outcomes);
    return edit;
}

ColumnEdit ColumnEditing::pasteColumn(const std::vector<std::u16string>& lines, ColumnPoint point,
                                      const std::optional<ColumnSelection>& replacing,
                                      std::u16string_view text, const LineIndex& lineIndex,
                                      int tabWidth) {
    if (!editing::lineIndexInStep(text, lineIndex) || point.line < 0 || point.column < 0 ||
        (replacing && !replacing->isWellFormed()))
        return ColumnEdit{};
    std::vector<ColumnLineSpan> spans;
    if (replacing)
        spans = ColumnLayout::spans(*replacing, text, lineIndex, tabWidth);

    struct Piece {
        TextRange range;
        std::u16string string;
    };
    std::vector<Piece> pieces;
    std::u16string tail;
    std::optional<Offset> caret;
    const Offset lastLine = lineIndex.lineCount() - 1;
    const std::size_t count = std::max(lines.size(), spans.size());
    for (std::size_t k = 0; k < count; ++k) {
        const Offset line = point.line + static_cast<Offset>(k);
        std::u16string piece = k < lines.size() ? lines[k] : std::u16string();
        if (k < spans.size() && spans[k].range) {
            const TextRange range = *spans[k].range;
            if (k == 0)
                caret = range.location + static_cast<Offset>(piece.size());
            pieces.push_back({range, std::move(piece)});
        } else if (line <= lastLine) {
            const Offset target = k < spans.size() ? spans[k].startColumn : point.column;
            TextRange content = VisualColumn::contentRange(line, text, lineIndex);
            VisualColumn::Location at = VisualColumn::offset(target, content, text, tabWidth);
            if (!at.reached && !piece.empty())
                piece.insert(0, static_cast<std::size_t>(target - at.column), u' ');
            if (k == 0)
                caret = at.offset + static_cast<Offset>(piece.size());
            if (!piece.empty())
                pieces.push_back({{at.offset, 0}, std::move(piece)});
        } else if (k < lines.size()) {
            tail.push_back(u'\n');
            tail.append(static_cast<std::size_t>(point.column), u' ');
            tail.append(piece);
        }
    }

    const auto length = static_cast<Offset>(text.size());
    if (!tail.empty()) {
        if (!pieces.empty() && pieces.back().range.end() == length)
            pieces.back().string.append(tail);
        else
            pieces.push_back({{length, 0}, std::move(tail)});
    }
    // Spans of a selection that does not start at `point` may interleave with the lines
    // pasted around them; order the pieces and refuse any that would overlap.
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return a.range.location < b.range.location;
    });
    ColumnEdit edit;
    for (Piece& piece : pieces) {
        if (!edit.ranges.empty() && piece.range.location < edit.ranges.back().end())
            return ColumnEdit{};
        edit.ranges.push_back(piece.range);
        edit.strings.push_back(std::move(piece.string));
    }
    edit.caret = TextRange{caret.value_or(lineIndex.lineStart(std::min(point.line, lastLine))), 0};
    return edit;
}

ColumnEdit ColumnEditing::pasteStream(std::u16string_view pasted, const ColumnSelection& replacing,
                                      std::u16string_view text, const LineIndex& lineIndex,
                                      int tabWidth) {
    if (!accepts(replacing, text, lineIndex))
        return ColumnEdit{};
    ColumnEdit edit;
    for (const ColumnLineSpan& span : ColumnLayout::spans(replacing, text, lineIndex, tabWidth)) {
        if (!span.range)
            continue;
        if (edit.ranges.empty()) {
            edit.ranges.push_back(*span.range);
            edit.strings.emplace_back(pasted);
            edit.caret = TextRange{span.range->location + static_cast<Offset>(pasted.size()), 0};
        } else if (span.range->length > 0) {
            edit.ranges.push_back(*span.range);
            edit.strings.emplace_back();
        }
    }
    if (edit.ranges.empty()) {
        const auto length = static_cast<Offset>(text.size());
        edit.ranges.push_back({length, 0});
        edit.strings.emplace_back(pasted);
        edit.caret = TextRange{length + static_cast<Offset>(pasted.size()), 0};
    }
    return edit;
}

std::vector<std::u16string> ColumnEditing::lines(std::u16string_view text) {
    std::u16string normalized = lineEnding::normalizeToLF(text);
    if (!normalized.empty() && normalized.back() == u'\n')
        normalized.pop_back();
    std::vector<std::u16string> result;
    std::size_t at = 0;
    while (true) {
        std::size_t lf = normalized.find(u'\n', at);
        if (lf == std::u16string::npos) {
            result.push_back(normalized.substr(at));
            return result;
        }
        result.push_back(normalized.substr(at, lf - at));
        at = lf + 1;
    }
}

} // namespace vendrix
