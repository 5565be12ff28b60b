#pragma once

#include "app/view/ViewDocument.h"
#include "core/text/LineIndex.h"
#include "core/text/TextStorage.h"

#include <QUndoStack>

#include <string>

namespace vendrix::app {

/// A self-contained document for the text view: a text storage, its line index and an undo
/// stack with merged typing. Used where no full editor document is needed (benchmarks,
/// tests, the scratch documents of the first editor window).
class StorageDocument final : public ViewDocument {
public:
    explicit StorageDocument(std::u16string_view text = {}, bool readOnly = false);
    ~StorageDocument() override;

    const TextStorage& storage() const override { return m_storage; }
    const LineIndex& lineIndex() const override { return m_lineIndex; }
    bool isReadOnly() const override { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    bool replace(TextRange range, std::u16string_view text, EditKind kind) override;
    QUndoStack& undoStack() override { return m_undoStack; }
    void breakTypingRun() override { m_typingRunOpen = false; }
    void setChangeHandler(TextChangeHandler handler) override { m_handler = std::move(handler); }

    TextRange viewSelection() const override { return m_selection; }
    QPointF viewScrollOrigin() const override { return m_scrollOrigin; }
    void setViewState(TextRange selection, QPointF scrollOrigin) override {
        m_selection = selection;
        m_scrollOrigin = scrollOrigin;
    }

    /// Applies a change without recording it (used by the undo commands).
    void applyChange(TextRange range, std::u16string_view text);
    /// True while the last undo step is an open typing run that the next typing may extend.
    bool typingRunOpen() const { return m_typingRunOpen; }

private:
    TextStorage m_storage;
    LineIndex m_lineIndex;
    QUndoStack m_undoStack;
    TextChangeHandler m_handler;
    TextRange m_selection;
    QPointF m_scrollOrigin;
    bool m_readOnly = false;
    bool m_typingRunOpen = false;
};

} // namespace vendrix::app
