// Column editing: applying edits with their undo records, the clipboard, case transforms.
#include "app/features/columnselection/ColumnSelectionFeature.h"

#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"

#include <QClipboard>
#include <QMimeData>
#include <QUndoStack>

#include <algorithm>

namespace vendrix::app {
namespace {

const QString typingName = QStringLiteral("Yazma");
const QString cutName = QStringLiteral("Kes");
const QString pasteName = QStringLiteral("Yapıştır");
const QString noLineReachedMessage = QStringLiteral(
    "Sütun seçimi hiçbir satırın metnine ulaşmıyor; kısa satırlar boşlukla doldurulmaz");

std::u16string toU16(const QString& string) {
    return {reinterpret_cast<const char16_t*>(string.utf16()),
            static_cast<std::size_t>(string.size())};
}

QString toQString(std::u16string_view string) {
    return QString(reinterpret_cast<const QChar*>(string.data()),
                   static_cast<qsizetype>(string.size()));
}

/// CR LF and lone CR become LF.
std::u16string normalizedLineBreaks(std::u16string text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            out.push_back(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

/// Replaces the hull without copying its (possibly long) string once more.
bool replaceHull(EditorDocument& document, ColumnEdit::Replacement hull) {
    std::vector<std::u16string> strings;
    strings.push_back(std::move(hull.string));
    return document.applyWithoutUndo({hull.range}, std::move(strings));
}

} // namespace

bool ColumnSelectionFeature::apply(const ColumnEdit& edit, const QString& actionName,
                                   Coalescing coalescing) {
    EditorDocument* document = shownDocument();
    if (!document || !editable())
        return false;
    std::optional<ColumnEdit::Replacement> hull;
    std::u16string before;
    std::u16string stored;
    {
        const std::u16string_view whole = text();
        hull = edit.hullReplacement(whole);
        if (!hull)
            return false;
        auto record = m_session.lock();
        const bool extend = coalescing == Coalescing::typing && record && !record->sealed &&
                            record->doc == document &&
                            record->start + record->length <= document->length();
        if (extend) {
            // The region grows to cover the new change; what lies between the old region and
            // the new change is still the text from before the first change.
            const std::int64_t oldStart = record->start;
            const std::int64_t oldEnd = record->start + record->length;
            const std::int64_t newStart = std::min(oldStart, hull->range.location);
            const std::int64_t newEnd = std::max(oldEnd, hull->range.end());
            stored.append(whole.substr(newStart, oldStart - newStart));
            stored.append(record->text);
            stored.append(whole.substr(oldEnd, newEnd - oldEnd));
            const std::int64_t delta =
                static_cast<std::int64_t>(hull->string.size()) - hull->range.length;
            ++m_applying;
            const bool applied = replaceHull(*document, std::move(*hull));
            --m_applying;
            if (!applied)
                return false;
            record->start = newStart;
            record->length = newEnd - newStart + delta;
            record->text = std::move(stored);
            if (edit.selection)
                record->selectionAfterSwap = *edit.selection;
            else if (edit.caret)
                record->selectionAfterSwap = *edit.caret;
            install(record->selectionAfterSwap);
            return true;
        }
        before.assign(whole.substr(hull->range.location, hull->range.length));
    }

    sealSession();
    auto record = std::make_shared<ColumnUndoRecord>();
    record->doc = document;
    record->start = hull->range.location;
    record->length = static_cast<std::int64_t>(hull->string.size());
    record->text = std::move(before);
    record->selectionAfterInverse = currentState();
    if (edit.selection)
        record->selectionAfterSwap = *edit.selection;
    else
        record->selectionAfterSwap = edit.caret.value_or(
            TextRange{hull->range.location + static_cast<std::int64_t>(hull->string.size()), 0});
    record->actionName = actionName;

    document->breakTypingRun();
    ++m_applying;
    const bool applied = replaceHull(*document, std::move(*hull));
    --m_applying;
    if (!applied)
        return false;
    QPointer<ColumnSelectionFeature> self(this);
    auto* command = new ColumnUndoCommand(record, [self](ColumnUndoRecord& r, bool undo) {
        if (self)
            self->performRecord(r, undo);
        else
            r.swap();
    });
    ++m_applying;
    document->undoStack()->push(command);
    --m_applying;
    document->breakTypingRun();
    if (coalescing == Coalescing::typing)
        m_session = record;
    install(record->selectionAfterSwap);
    return true;
}

void ColumnSelectionFeature::performRecord(ColumnUndoRecord& record, bool undo) {
    // Undo and redo end any typing run, this record's included.
    sealSession();
    record.sealed = true;
    ++m_applying;
    const bool swapped = record.swap();
    --m_applying;
    if (!swapped)
        return;
    if (record.doc && record.doc == shownDocument()) {
        install(undo ? record.selectionAfterInverse : record.selectionAfterSwap);
    } else if (record.doc) {
        // Not on screen: keep a plain selection for when its tab comes back.
        const SelectionState& state =
            undo ? record.selectionAfterInverse : record.selectionAfterSwap;
        if (const auto* range = std::get_if<TextRange>(&state))
            record.doc->setSelection(*range);
    }
    // The undo itself is not a foreign change; the typing run is over all the same.
    sealSession();
}

void ColumnSelectionFeature::install(const SelectionState& state) {
    if (const auto* column = std::get_if<ColumnSelection>(&state)) {
        setSelection(*column);
        return;
    }
    const TextRange range = std::get<TextRange>(state);
    if (m_selection)
        setSelection(std::nullopt);
    sealSession();
    if (m_view && shownDocument()) {
        ++m_applying;
        m_view->setSelectedRange(range);
        m_view->scrollRangeToVisible({range.end(), 0});
        --m_applying;
    }
}

void ColumnSelectionFeature::typeOrDelete(const ColumnEdit& edit) {
    if (edit.ranges.empty()) {
        if (m_ctx)
            m_ctx->showMessage(noLineReachedMessage, 4);
        return;
    }
    apply(edit, typingName, Coalescing::typing);
}

void ColumnSelectionFeature::typeText(std::u16string typed) {
    if (!m_selection || !editable())
        return;
    typed = normalizedLineBreaks(std::move(typed));
    if (typed.find(u'\n') != std::u16string::npos) {
        pasteText(std::move(typed), false);
        return;
    }
    EditorDocument* document = shownDocument();
    typeOrDelete(
        ColumnEditing::insert(typed, *m_selection, text(), document->lineIndex(), tabWidth()));
}

void ColumnSelectionFeature::deleteText(ColumnEditing::Deletion kind) {
    if (!m_selection || !editable())
        return;
    m_composing = false;
    EditorDocument* document = shownDocument();
    typeOrDelete(
        ColumnEditing::deleteText(kind, *m_selection, text(), document->lineIndex(), tabWidth()));
}

std::optional<bool> ColumnSelectionFeature::commandEnabled(TextCommand command) const {
    const QMimeData* data = m_pasteboard ? m_pasteboard->mimeData() : nullptr;
    const bool editableNow = m_view && m_view->isEditable();
    switch (command) {
    case TextCommand::paste:
        if (data && data->hasFormat(columnMimeType))
            return editableNow;
        if (m_selection && data && data->hasText())
            return editableNow;
        return std::nullopt;
    case TextCommand::copy:
    case TextCommand::cut:
    case TextCommand::deleteSelection: {
        if (!m_selection)
            return std::nullopt;
        const bool selects = isRectangularWithWidth() && ColumnLayout::selectedLength(spans()) > 0;
        return command == TextCommand::copy ? selects : selects && editableNow;
    }
    default:
        return std::nullopt;
    }
}

void ColumnSelectionFeature::copy() {
    if (!m_selection || !m_pasteboard)
        return;
    m_composing = false;
    const std::vector<ColumnLineSpan> lineSpans = spans();
    if (!isRectangularWithWidth() || ColumnLayout::selectedLength(lineSpans) == 0)
        return;
    const QString copied = toQString(ColumnLayout::copyText(lineSpans, text()));
    auto* data = new QMimeData;
    data->setText(copied);
    data->setData(columnMimeType, copied.toUtf8());
    m_pasteboard->setMimeData(data, QClipboard::Clipboard);
}

void ColumnSelectionFeature::cut() {
    if (!m_selection || !editable() || !isRectangularWithWidth())
        return;
    copy();
    EditorDocument* document = shownDocument();
    const ColumnEdit edit = ColumnEditing::deleteText(
        ColumnEditing::Deletion::forward, *m_selection, text(), document->lineIndex(), tabWidth());
    if (!edit.ranges.empty())
        apply(edit, cutName, Coalescing::none);
}

void ColumnSelectionFeature::paste() {
    if (!m_pasteboard || !editable())
        return;
    const QMimeData* data = m_pasteboard->mimeData();
    if (!data)
        return;
    if (data->hasFormat(columnMimeType)) {
        pasteText(toU16(QString::fromUtf8(data->data(columnMimeType))), true);
        return;
    }
    if (!m_selection || !data->hasText() || data->text().isEmpty())
        return;
    pasteText(normalizedLineBreaks(toU16(data->text())), false);
}

void ColumnSelectionFeature::pasteText(std::u16string pasted, bool column) {
    EditorDocument* document = shownDocument();
    if (!document || !editable())
        return;
    pasted = normalizedLineBreaks(std::move(pasted));
    const LineIndex& lines = document->lineIndex();
    if (column) {
        std::vector<std::u16string> pieces = ColumnEditing::lines(pasted);
        if (m_selection) {
            const ColumnPoint corner{m_selection->topLine(), m_selection->leftColumn()};
            apply(
                ColumnEditing::pasteColumn(pieces, corner, *m_selection, text(), lines, tabWidth()),
                pasteName, Coalescing::none);
            return;
        }
        // Without a column selection: a plain selection goes first, in the same undo step.
        const TextRange selected = m_view->selectedRange();
        if (selected.empty()) {
            apply(ColumnEditing::pasteColumn(pieces, pointOfOffset(selected.location), std::nullopt,
                                             text(), lines, tabWidth()),
                  pasteName, Coalescing::none);
            return;
        }
        std::u16string_view whole = text();
        std::u16string without(whole.substr(0, selected.location));
        without.append(whole.substr(selected.end()));
        const LineIndex withoutIndex(without);
        const ColumnPoint at =
            ColumnLayout::point(selected.location, without, withoutIndex, tabWidth());
        const ColumnEdit inner =
            ColumnEditing::pasteColumn(pieces, at, std::nullopt, without, withoutIndex, tabWidth());
        // The paste computed on the text without the selection, expressed on the current
        // text: one replacement from the earliest to the latest change.
        const auto innerHull = inner.hullReplacement(without);
        if (!innerHull)
            return;
        auto toCurrent = [&](std::int64_t offset, bool atEnd) {
            return offset < selected.location || (offset == selected.location && !atEnd)
                       ? offset
                       : offset + selected.length;
        };
        const std::int64_t start = std::min(innerHull->range.location, selected.location);
        const std::int64_t end = std::max(toCurrent(innerHull->range.end(), true), selected.end());
        std::u16string replacement(without.substr(start, innerHull->range.location - start));
        replacement.append(innerHull->string);
        const std::int64_t endWithout = end - selected.length;
        replacement.append(
            without.substr(innerHull->range.end(), endWithout - innerHull->range.end()));
        ColumnEdit combined;
        combined.ranges = {{start, end - start}};
        combined.strings = {std::move(replacement)};
        combined.caret = inner.caret;
        apply(combined, pasteName, Coalescing::none);
        return;
    }
    if (!m_selection)
        return;
    const std::vector<std::u16string> pieces = ColumnEditing::lines(pasted);
    const bool severalLines = pasted.find(u'\n') != std::u16string::npos;
    if (!severalLines) {
        typeOrDelete(ColumnEditing::insert(pasted, *m_selection, text(), lines, tabWidth()));
        return;
    }
    const ColumnPoint corner{m_selection->topLine(), m_selection->leftColumn()};
    // A text with a line break but one line ("x" and a final LF) goes in as a stream, so the
    // line break is kept.
    if (pieces.size() > 1 && static_cast<std::int64_t>(pieces.size()) == m_selection->lineCount())
        apply(ColumnEditing::pasteColumn(pieces, corner, *m_selection, text(), lines, tabWidth()),
              pasteName, Coalescing::none);
    else
        apply(ColumnEditing::pasteStream(pasted, *m_selection, text(), lines, tabWidth()),
              pasteName, Coalescing::none);
}

void ColumnSelectionFeature::pasteAsColumn() {
    if (!m_pasteboard || !editable())
        return;
    const QString pasted = m_pasteboard->text(QClipboard::Clipboard);
    if (pasted.isEmpty())
        return;
    pasteText(toU16(pasted), true);
}

bool ColumnSelectionFeature::transformLineParts(LinePartTransform transform,
                                                const QString& actionName) {
    if (!isRectangularWithWidth())
        return false;
    if (!editable())
        return true;
    m_composing = false;
    const std::u16string_view whole = text();
    ColumnEdit edit;
    for (const ColumnLineSpan& span : spans()) {
        if (!span.range || span.range->empty())
            continue;
        const std::u16string_view part = whole.substr(span.range->location, span.range->length);
        std::u16string changed = transform(part);
        if (changed == part)
            continue;
        edit.ranges.push_back(*span.range);
        edit.strings.push_back(std::move(changed));
    }
    if (edit.ranges.empty()) {
        if (m_ctx)
            m_ctx->showMessage(QStringLiteral("Değişiklik yok"), 4);
        return true;
    }
    // The same rectangle stays selected (a case change may change a part's width, the
    // columns stay).
    edit.selection = *m_selection;
    apply(edit, actionName, Coalescing::none);
    return true;
}

} // namespace vendrix::app
