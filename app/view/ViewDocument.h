#pragma once

#include "core/common/TextRange.h"

#include <QPointF>

#include <cstdint>
#include <functional>
#include <string_view>

class QUndoStack;

namespace vendrix {
class LineIndex;
class TextStorage;
} // namespace vendrix

namespace vendrix::app {

/// How a change entered the text; typing changes merge into one undo step until the run is
/// broken (caret moved, another kind of change, breakTypingRun()).
enum class EditKind { typing, deletion, paste, other };

/// Called after every change of the characters with the range of the new text and the change
/// in length (new length - old length), whoever made the change (the view, undo, a feature).
using TextChangeHandler = std::function<void(TextRange editedRange, std::int64_t changeInLength)>;

/// The view's window onto the document it shows: the text, its line index, the one undoable
/// change path and the per-document view state that survives switching documents. Documents
/// of the shell are shown through an adapter implementing this interface, so the text view
/// depends on nothing else of the document model.
class ViewDocument {
public:
    virtual ~ViewDocument() = default;

    virtual const TextStorage& storage() const = 0;
    virtual const LineIndex& lineIndex() const = 0;
    /// A read-only document refuses every change but can be selected and copied.
    virtual bool isReadOnly() const = 0;

    /// Replaces `range` by `text` as an undoable change; `kind` decides merging of typing.
    /// Returns false when the change was refused (read-only, or the document's delegate).
    /// The change handler runs before this returns.
    virtual bool replace(TextRange range, std::u16string_view text, EditKind kind) = 0;
    virtual QUndoStack& undoStack() = 0;
    /// Ends the current typing run, so the next typed character starts a new undo step.
    virtual void breakTypingRun() = 0;

    /// The one handler the view installs while it shows the document (empty to remove).
    virtual void setChangeHandler(TextChangeHandler handler) = 0;

    /// The selection and scroll origin to restore when the document is shown again.
    virtual TextRange viewSelection() const = 0;
    virtual QPointF viewScrollOrigin() const = 0;
    virtual void setViewState(TextRange selection, QPointF scrollOrigin) = 0;
};

} // namespace vendrix::app
