#include "app/view/StorageDocument.h"

#include <QUndoCommand>

#include <algorithm>

namespace vendrix::app {
namespace {

constexpr int kTypingCommandId = 0x7e71;

/// One replacement; undo swaps the text back. Typing commands absorb the next typing change
/// when it continues exactly where the previous one ended.
class ReplaceCommand final : public QUndoCommand {
public:
    ReplaceCommand(StorageDocument& document, TextRange range, std::u16string text, EditKind kind)
        : m_document(document), m_location(range.location),
          m_removed(document.storage().substring(range)), m_inserted(std::move(text)),
          m_kind(kind) {}

    int id() const override { return m_kind == EditKind::typing ? kTypingCommandId : -1; }

    void redo() override {
        if (!m_firstRedo)
            m_document.breakTypingRun();
        m_firstRedo = false;
        m_document.applyChange({m_location, static_cast<std::int64_t>(m_removed.size())},
                               m_inserted);
    }
    void undo() override {
        m_document.breakTypingRun();
        m_document.applyChange({m_location, static_cast<std::int64_t>(m_inserted.size())},
                               m_removed);
    }

    bool mergeWith(const QUndoCommand* other) override {
        auto* next = static_cast<const ReplaceCommand*>(other);
        if (!m_document.typingRunOpen() || next->m_kind != EditKind::typing)
            return false;
        // Typing continues at the end of this run (insertion) ...
        if (next->m_location == m_location + static_cast<std::int64_t>(m_inserted.size())) {
            m_inserted += next->m_inserted;
            m_removed += next->m_removed;
            return true;
        }
        return false;
    }

private:
    StorageDocument& m_document;
    std::int64_t m_location;
    std::u16string m_removed;
    std::u16string m_inserted;
    EditKind m_kind;
    bool m_firstRedo = true;
};

} // namespace

StorageDocument::StorageDocument(std::u16string_view text, bool readOnly)
    : m_storage(text), m_lineIndex(text), m_readOnly(readOnly) {
    m_undoStack.setUndoLimit(0);
}

StorageDocument::~StorageDocument() {
    m_handler = nullptr;
    m_undoStack.clear();
}

bool StorageDocument::replace(TextRange range, std::u16string_view text, EditKind kind) {
    if (m_readOnly)
        return false;
    std::int64_t length = m_storage.length();
    range.location = std::clamp<std::int64_t>(range.location, 0, length);
    range.length = std::clamp<std::int64_t>(range.length, 0, length - range.location);
    if (range.length == 0 && text.empty())
        return true;
    if (kind != EditKind::typing)
        m_typingRunOpen = false;
    m_undoStack.push(new ReplaceCommand(*this, range, std::u16string(text), kind));
    m_typingRunOpen = kind == EditKind::typing;
    return true;
}

void StorageDocument::applyChange(TextRange range, std::u16string_view text) {
    m_storage.replace(range, text);
    TextRange edited{range.location, static_cast<std::int64_t>(text.size())};
    std::int64_t delta = static_cast<std::int64_t>(text.size()) - range.length;
    m_lineIndex.update(edited, delta, m_storage);
    if (m_handler)
        m_handler(edited, delta);
}

} // namespace vendrix::app
