// Dragging text in and out of the editor text view: the selection dragged inside the view
// moves (Ctrl: is copied) as one undo step; text dropped from another program is inserted.
// Dragged files are not text: the window opens them before the view sees the drag.
#include "app/view/EditorTextView.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextViewSupport.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>

#include <algorithm>

namespace vendrix::app {
namespace {

const QString kDropActionName = QStringLiteral("Sürükle ve Bırak");

} // namespace

bool EditorTextView::isInsideSelection(QPointF viewportPoint) {
    const TextRange selection = selectedRange();
    if (!m_document || selection.empty() || isColumnSelectionActive())
        return false;
    const std::int64_t offset = offsetAt(viewportPoint);
    // The selection's edges belong to the text around it: a press there selects anew.
    return offset > selection.location && offset < selection.end();
}

Qt::DropAction EditorTextView::runDrag(QDrag& drag, Qt::DropActions actions,
                                       Qt::DropAction defaultAction) {
    return drag.exec(actions, defaultAction);
}

void EditorTextView::dragSelection() {
    const TextRange range = selectedRange();
    if (!m_document || range.empty())
        return;
    auto* dragged = new QMimeData;
    dragged->setText(selectedText());
    auto* drag = new QDrag(this);
    drag->setMimeData(dragged);
    QPointer<EditorTextView> self(this);
    m_draggingSelection = true;
    // Only a drop inside this view moves text. Dropped on another program the text is
    // copied whatever that program answers, so nothing here is lost to a drop elsewhere.
    const Qt::DropActions actions =
        isEditable() ? Qt::CopyAction | Qt::MoveAction : Qt::DropActions(Qt::CopyAction);
    runDrag(*drag, actions, isEditable() ? Qt::MoveAction : Qt::CopyAction);
    if (!self)
        return;
    m_draggingSelection = false;
    setDropOffset(-1);
}

bool EditorTextView::acceptDrag(QDropEvent* event) {
    const QMimeData* dropped = event->mimeData();
    if (!m_document || !isEditable() || !dropped || !dropped->hasText()) {
        setDropOffset(-1);
        event->ignore();
        return false;
    }
    const QPointF point = event->position();
    // Near the top or bottom edge the text scrolls, so that a drop can reach any line.
    const qreal margin = m_layout.lineHeight();
    if (point.y() < margin)
        setScrollY(m_scrollY - static_cast<std::int64_t>(m_layout.lineHeight()));
    else if (point.y() > viewport()->height() - margin)
        setScrollY(m_scrollY + static_cast<std::int64_t>(m_layout.lineHeight()));
    setDropOffset(offsetAt(point));
    Qt::DropAction action = Qt::CopyAction;
    // While this view's drag runs, whatever is dropped on it is that drag (one at a time).
    if (m_draggingSelection) {
        action = event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
    } else if (!(event->possibleActions() & Qt::CopyAction)) {
        action = event->proposedAction();
    }
    event->setDropAction(action);
    event->accept();
    return true;
}

void EditorTextView::dragEnterEvent(QDragEnterEvent* event) {
    acceptDrag(event);
}

void EditorTextView::dragMoveEvent(QDragMoveEvent* event) {
    acceptDrag(event);
}

void EditorTextView::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropOffset(-1);
    event->accept();
}

void EditorTextView::dropEvent(QDropEvent* event) {
    if (!acceptDrag(event))
        return;
    const std::int64_t target = m_dropOffset;
    setDropOffset(-1);
    commitPreedit();
    const bool own = m_draggingSelection;
    const bool move = own && event->dropAction() == Qt::MoveAction;
    const TextRange source = selectedRange();
    const QString text = own ? selectedText() : event->mimeData()->text();
    if (text.isEmpty())
        return;
    EditorDocument::EditOptions options;
    options.actionName = kDropActionName;
    options.selectionBefore = source;
    const std::int64_t lengthBefore = m_document->length();
    std::int64_t start = target;
    if (move) {
        // Dropped onto itself: nothing moves.
        if (target >= source.location && target <= source.end())
            return;
        std::vector<TextRange> ranges{source, {target, 0}};
        std::vector<std::u16string> replacements{u"", std::u16string(view(text))};
        if (target < source.location) {
            std::swap(ranges[0], ranges[1]);
            std::swap(replacements[0], replacements[1]);
        } else {
            start = target - source.length;
        }
        options.selectionAfter = TextRange{start, source.length};
        if (!m_document->applyEdits(std::move(ranges), std::move(replacements), options))
            return;
    } else {
        options.selectionAfter = TextRange{start, static_cast<std::int64_t>(text.size())};
        if (!m_document->applyEdit({target, 0}, std::u16string(view(text)), options))
            return;
    }
    // What was dropped is selected where it landed (the change delegate may have rewritten
    // its line breaks, so its length is measured).
    const std::int64_t inserted = m_document->length() - lengthBefore + (move ? source.length : 0);
    setSelection(start, start + inserted);
    ensureCaretVisible();
    setFocus(Qt::OtherFocusReason);
}

void EditorTextView::setDropOffset(std::int64_t offset) {
    if (offset == m_dropOffset)
        return;
    m_dropOffset = offset;
    viewport()->update();
}

} // namespace vendrix::app
