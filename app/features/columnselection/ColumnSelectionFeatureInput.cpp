// The text view's input as the column selection takes it: mouse gestures, keys, typed text,
// input methods and the view's editing commands.
#include "app/features/columnselection/ColumnSelectionFeature.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>

namespace vendrix::app {
namespace {

std::u16string toU16(const QString& string) {
    return {reinterpret_cast<const char16_t*>(string.utf16()),
            static_cast<std::size_t>(string.size())};
}

std::optional<ColumnLayout::Direction> arrowDirection(int key) {
    switch (key) {
    case Qt::Key_Up:
        return ColumnLayout::Direction::up;
    case Qt::Key_Down:
        return ColumnLayout::Direction::down;
    case Qt::Key_Left:
        return ColumnLayout::Direction::left;
    case Qt::Key_Right:
        return ColumnLayout::Direction::right;
    default:
        return std::nullopt;
    }
}

bool isNavigationKey(int key) {
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

// MARK: Mouse

bool ColumnSelectionFeature::mousePress(QMouseEvent& event) {
    if (!shownDocument() || !shownDocument()->isLoaded())
        return false;
    const auto modifiers = event.modifiers();
    if (event.button() == Qt::MiddleButton) {
        // A click pastes the primary selection; only a drag past the drag distance becomes a
        // column selection. Decided while moving and on release.
        m_middlePending = true;
        m_middlePress = event.position();
        return false;
    }
    if (event.button() != Qt::LeftButton)
        return false;
    const bool alt = modifiers & Qt::AltModifier;
    if (!alt || (modifiers & (Qt::ControlModifier | Qt::MetaModifier))) {
        // A plain click ends column mode; the view then places the caret.
        if (m_selection)
            leave(false);
        return false;
    }
    const ColumnPoint point = pointAt(event.position());
    ColumnSelection selection{point, point, std::nullopt};
    if (modifiers & Qt::ShiftModifier) {
        if (m_selection)
            selection.anchor = m_selection->anchor;
        else
            selection.anchor = pointOfOffset(m_view->selectedRange().location);
    }
    m_trackingButton = Qt::LeftButton;
    select(selection);
    return true;
}

bool ColumnSelectionFeature::mouseMove(QMouseEvent& event) {
    if (m_middlePending && (event.buttons() & Qt::MiddleButton) &&
        (event.position() - m_middlePress).manhattanLength() >= QApplication::startDragDistance()) {
        m_middlePending = false;
        if (shownDocument() && shownDocument()->isLoaded()) {
            const ColumnPoint anchor = pointAt(m_middlePress);
            m_trackingButton = Qt::MiddleButton;
            select({anchor, anchor, std::nullopt});
        }
    }
    if (m_trackingButton == Qt::NoButton)
        return false;
    if (!(event.buttons() & m_trackingButton) || !m_selection) {
        m_trackingButton = Qt::NoButton;
        return false;
    }
    // Keep the point under the mouse in view while dragging beyond the text's edges.
    const QRect area = m_view->viewport()->rect();
    const QPointF clamped(std::clamp<qreal>(event.position().x(), area.left(), area.right()),
                          std::clamp<qreal>(event.position().y(), area.top(), area.bottom()));
    if (clamped != event.position())
        m_view->scrollRangeToVisible({m_view->offsetAt(event.position()), 0});
    ColumnSelection selection = *m_selection;
    selection.active = pointAt(event.position());
    selection.caretColumns.reset();
    if (!(selection == *m_selection))
        setSelection(selection);
    return true;
}

bool ColumnSelectionFeature::mouseRelease(QMouseEvent& event) {
    if (event.button() == Qt::MiddleButton)
        m_middlePending = false;
    if (m_trackingButton == Qt::NoButton || event.button() != m_trackingButton)
        return false;
    m_trackingButton = Qt::NoButton;
    return true; // a middle drag made a rectangle: no primary paste
}

// MARK: Keys

bool ColumnSelectionFeature::keyPress(QKeyEvent& event) {
    const auto modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    const bool alt = modifiers & Qt::AltModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    if (auto direction = arrowDirection(key);
        direction && alt && shift && !(modifiers & Qt::MetaModifier)) {
        if (!control) {
            extend(*direction);
            return true;
        }
        // Ctrl+Alt+Shift+arrow: leave column mode and do what the arrow does with Ctrl+Shift.
        if (m_selection) {
            leave(true);
            QKeyEvent plain(QEvent::KeyPress, key, modifiers & ~Qt::AltModifier, event.text());
            QCoreApplication::sendEvent(m_view, &plain);
            return true;
        }
        return false;
    }
    if (!m_selection)
        return false;
    if (key == Qt::Key_Escape && modifiers == Qt::NoModifier) {
        if (m_composing)
            return false;
        leave(true);
        return true;
    }
    const bool lineBreak = (key == Qt::Key_Return || key == Qt::Key_Enter) && !control && !alt;
    if (isNavigationKey(key) || lineBreak) {
        // The view moves the caret from the rectangle's active point, or breaks the line
        // there (one line break, not one per line of the rectangle).
        leave(true);
        return false;
    }
    return false;
}

bool ColumnSelectionFeature::typedText(const QString& typed) {
    if (!m_selection)
        return false;
    m_composing = false;
    typeText(toU16(typed));
    return true;
}

bool ColumnSelectionFeature::inputMethod(QInputMethodEvent& event) {
    if (!m_selection || m_forwardingInput)
        return false;
    if (!event.commitString().isEmpty())
        typeText(toU16(event.commitString()));
    // Text being composed is shown by the view at the active point; it lands in every line
    // of the rectangle when it is committed.
    m_composing = !event.preeditString().isEmpty();
    QInputMethodEvent composing(event.preeditString(), event.attributes());
    m_forwardingInput = true;
    QCoreApplication::sendEvent(m_view, &composing);
    m_forwardingInput = false;
    return true;
}

bool ColumnSelectionFeature::command(TextCommand command) {
    if (command == TextCommand::paste) {
        // A column copy pastes as a column even without a column selection.
        const QMimeData* data = m_pasteboard ? m_pasteboard->mimeData() : nullptr;
        const bool columnData = data && data->hasFormat(columnMimeType);
        if (!m_selection && !columnData)
            return false;
        paste();
        return true;
    }
    if (!m_selection)
        return false;
    switch (command) {
    case TextCommand::copy:
        copy();
        return true;
    case TextCommand::cut:
        cut();
        return true;
    case TextCommand::deleteBackward:
        deleteText(ColumnEditing::Deletion::backward);
        return true;
    case TextCommand::deleteForward:
    case TextCommand::deleteSelection:
        deleteText(ColumnEditing::Deletion::forward);
        return true;
    case TextCommand::deleteWordBackward:
        deleteText(ColumnEditing::Deletion::wordBackward);
        return true;
    case TextCommand::deleteWordForward:
        deleteText(ColumnEditing::Deletion::wordForward);
        return true;
    case TextCommand::selectAll:
    default:
        leave(true);
        return false;
    }
}

} // namespace vendrix::app
