#include "app/view/EditorTextViewAccessibleEvents.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "core/text/TextStorage.h"

#include <QAccessible>

#include <algorithm>
#include <climits>

namespace vendrix::app {
namespace {

int toInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

} // namespace

EditorTextViewAccessibleEvents::EditorTextViewAccessibleEvents(EditorTextView* view)
    : QObject(view), m_view(view) {
    connect(view, &EditorTextView::textChanged, this,
            [this](TextRange range, qint64 delta) { textChanged(range, delta); });
    connect(view, &EditorTextView::selectionChanged, this, [this] { selectionChanged(); });
    connect(view, &EditorTextView::documentChanged, this, [this] {
        attachDocument();
        if (!QAccessible::isActive())
            return;
        QAccessibleEvent named(m_view, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    });
    attachDocument();
    m_caret = view->caretOffset();
    m_selection = view->selectedRange();
}

void EditorTextViewAccessibleEvents::attachDocument() {
    disconnect(m_documentConnection);
    m_document = m_view->document();
    m_removedAt = -1;
    m_removed.clear();
    if (m_document)
        m_documentConnection = connect(m_document, &EditorDocument::aboutToChange, this,
                                       [this](TextRange range) { aboutToChange(range); });
}

QString EditorTextViewAccessibleEvents::capped(TextRange range) const {
    if (!m_document || !m_document->storage())
        return {};
    const TextStorage& storage = *m_document->storage();
    const std::int64_t start = std::clamp<std::int64_t>(range.location, 0, storage.length());
    std::int64_t end = std::clamp<std::int64_t>(range.end(), start, storage.length());
    if (end - start > kEventTextCap) {
        end = start + kEventTextCap;
        if (QChar::isLowSurrogate(storage.at(end)) && QChar::isHighSurrogate(storage.at(end - 1)))
            --end;
    }
    QString text(static_cast<qsizetype>(end - start), Qt::Uninitialized);
    storage.copyUnits({start, end - start}, reinterpret_cast<char16_t*>(text.data()));
    return text;
}

void EditorTextViewAccessibleEvents::aboutToChange(TextRange oldRange) {
    if (!QAccessible::isActive())
        return;
    m_removedAt = oldRange.location;
    m_removed = capped(oldRange);
}

void EditorTextViewAccessibleEvents::textChanged(TextRange editedRange,
                                                 std::int64_t changeInLength) {
    const std::int64_t removedLength = editedRange.length - changeInLength;
    QString removed;
    if (m_removedAt == editedRange.location)
        removed = std::move(m_removed);
    m_removedAt = -1;
    m_removed.clear();
    if (!QAccessible::isActive())
        return;
    const int position = toInt(editedRange.location);
    const QString inserted = capped(editedRange);
    if (removedLength == 0) {
        QAccessibleTextInsertEvent event(m_view, position, inserted);
        QAccessible::updateAccessibility(&event);
    } else if (editedRange.empty()) {
        QAccessibleTextRemoveEvent event(m_view, position, removed);
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleTextUpdateEvent event(m_view, position, removed, inserted);
        QAccessible::updateAccessibility(&event);
    }
}

void EditorTextViewAccessibleEvents::selectionChanged() {
    const std::int64_t caret = m_view->caretOffset();
    const TextRange selection = m_view->selectedRange();
    const bool caretMoved = caret != m_caret;
    const bool selectionMoved = selection != m_selection;
    m_caret = caret;
    m_selection = selection;
    if (!QAccessible::isActive())
        return;
    if (selectionMoved || m_view->isColumnSelectionActive()) {
        QAccessibleTextSelectionEvent event(m_view, toInt(selection.location),
                                            toInt(selection.end()));
        event.setCursorPosition(toInt(caret));
        QAccessible::updateAccessibility(&event);
    }
    if (caretMoved) {
        QAccessibleTextCursorEvent event(m_view, toInt(caret));
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace vendrix::app
