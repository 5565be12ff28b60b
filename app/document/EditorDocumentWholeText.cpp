// Edits that replace the whole text: recorded as the two texts, traded on undo and redo.
#include "app/document/EditorDocument.h"

#include "app/document/WholeTextCommand.h"

#include <QUndoStack>

#include <algorithm>
#include <cassert>
#include <utility>

namespace vendrix::app {

namespace {

TextRange clampedTo(TextRange range, std::int64_t length) {
    const std::int64_t start = std::clamp<std::int64_t>(range.location, 0, length);
    return {start, std::clamp<std::int64_t>(range.length, 0, length - start)};
}

} // namespace

void EditorDocument::pushWholeText(std::u16string text, const EditOptions& options) {
    const std::int64_t length = m_storage->length();
    const TextRange selectionBefore =
        clampedTo(options.selectionBefore.value_or(m_selection), length);
    const auto newLength = static_cast<std::int64_t>(text.size());
    const TextRange selectionAfter = options.selectionAfter.value_or(TextRange{newLength, 0});
    // One vectorised pass over the new text; the string then moves into its immutable home
    // without a copy.
    LineIndex lineIndex{std::u16string_view(text)};
    TextSnapshot newText(std::make_shared<const std::u16string>(std::move(text)), 0);

    breakTypingRun();
    m_pushing = true;
    m_undoStack->push(new WholeTextCommand(*this, std::move(newText), std::move(lineIndex),
                                           selectionBefore, selectionAfter, options.actionName));
    m_pushing = false;
    breakTypingRun();
    m_selection = clampedTo(selectionAfter, m_storage->length());
}

bool EditorDocument::exchangeWholeText(TextSnapshot& text, LineIndex& lineIndex,
                                       std::int64_t expectedLength) {
    const bool fits = m_storage && m_storage->length() == expectedLength &&
                      lineIndex.length() == text.length();
    assert(fits && "EditorDocument::exchangeWholeText: the step does not fit the text");
    if (!fits)
        return false;
    // Right after a search the storage's cached snapshot is this very text: keeping it for
    // the history costs nothing.
    TextSnapshot previous = m_storage->snapshot();
    const std::int64_t oldLength = m_storage->length();
    const bool wasNotifying = std::exchange(m_notifying, true); // listeners only read
    emit aboutToChange({0, oldLength});
    m_notifying = wasNotifying;
    m_storage->replaceAll(text);
    std::swap(m_lineIndex, lineIndex);
    text = std::move(previous);
    const std::int64_t newLength = m_storage->length();
    finishChange({0, newLength}, newLength - oldLength);
    return true;
}

} // namespace vendrix::app
