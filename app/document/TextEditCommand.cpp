#include "app/document/TextEditCommand.h"

#include "app/document/EditorDocument.h"

#include <algorithm>

namespace vendrix::app {

namespace {

constexpr int kTypingCommandID = 0x7970; // any fixed value; only typing steps merge

} // namespace

TextEditCommand::TextEditCommand(EditorDocument& document, std::vector<Piece> pieces,
                                 TextRange selectionBefore, TextRange selectionAfter,
                                 const QString& actionName, TypingRun run)
    : QUndoCommand(actionName), m_document(document), m_pieces(std::move(pieces)),
      m_selectionBefore(selectionBefore), m_selectionAfter(selectionAfter), m_run(run) {}

void TextEditCommand::redo() {
    std::vector<EditorDocument::Replacement> forward;
    forward.reserve(m_pieces.size());
    for (const Piece& piece : m_pieces)
        forward.push_back(
            {{piece.location, static_cast<std::int64_t>(piece.oldText.size())}, piece.newText});
    m_document.perform(forward);
    // The first application is the edit itself: whoever made it sets the selection. Later
    // ones are redo, which puts back the selection the edit left.
    if (m_hasBeenApplied)
        m_document.restoreSelection(m_selectionAfter);
    m_hasBeenApplied = true;
}

void TextEditCommand::undo() {
    // After the step, every piece sits shifted by the change in length of the pieces before it.
    std::vector<EditorDocument::Replacement> inverse;
    inverse.reserve(m_pieces.size());
    std::int64_t shift = 0;
    for (const Piece& piece : m_pieces) {
        const auto newLength = static_cast<std::int64_t>(piece.newText.size());
        inverse.push_back({{piece.location + shift, newLength}, piece.oldText});
        shift += newLength - static_cast<std::int64_t>(piece.oldText.size());
    }
    m_document.perform(inverse);
    m_document.restoreSelection(m_selectionBefore);
}

int TextEditCommand::id() const {
    return m_run.typing ? kTypingCommandID : -1;
}

bool TextEditCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = dynamic_cast<const TextEditCommand*>(other);
    if (!next || &next->m_document != &m_document || !m_run.typing || !next->m_run.typing ||
        next->m_run.generation != m_run.generation || m_pieces.size() != 1 ||
        next->m_pieces.size() != 1 || next->m_run.lastEdit - m_run.lastEdit > maximumTypingPause)
        return false;

    // This step turned `oldText` into `newText` at [loc, loc + N). The next edit replaced
    // [a, b) of the text after this step; it merges when it touches that region. Whatever
    // it removed outside the region was original text, so it joins the old side.
    Piece& mine = m_pieces.front();
    const Piece& theirs = next->m_pieces.front();
    const std::int64_t loc = mine.location;
    const auto n = static_cast<std::int64_t>(mine.newText.size());
    const std::int64_t a = theirs.location;
    const std::int64_t b = a + static_cast<std::int64_t>(theirs.oldText.size());
    if (a > loc + n || b < loc)
        return false;

    std::u16string newText =
        mine.newText.substr(0, static_cast<size_t>(std::max<std::int64_t>(0, a - loc)));
    newText += theirs.newText;
    if (b < loc + n)
        newText += mine.newText.substr(static_cast<size_t>(b - loc));

    std::u16string oldText;
    if (a < loc)
        oldText = theirs.oldText.substr(0, static_cast<size_t>(loc - a));
    oldText += mine.oldText;
    if (b > loc + n)
        oldText += theirs.oldText.substr(static_cast<size_t>(loc + n - a));

    mine = {std::min(a, loc), std::move(oldText), std::move(newText)};
    m_selectionAfter = next->m_selectionAfter;
    m_run.lastEdit = next->m_run.lastEdit;
    // Typing a character and deleting it again leaves nothing to undo.
    setObsolete(mine.oldText.empty() && mine.newText.empty());
    return true;
}

} // namespace vendrix::app
