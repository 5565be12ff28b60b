#pragma once

#include "core/common/TextRange.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>

namespace vendrix::app {

class EditorDocument;
class EditorTextView;

/// Tells assistive technology what happens in a text view: text inserted, removed or
/// replaced (one event per change of the document, a replace-all or a whole-text change
/// included), the caret moved, the selection changed, and the document shown changed (a new
/// name). Changed texts are cut to kEventTextCap units, so that replacing the whole of a
/// large document does not copy it into an event. Nothing is computed while no assistive
/// technology listens. Lives as a child of its view, created with its accessible interface.
class EditorTextViewAccessibleEvents final : public QObject {
    Q_OBJECT

public:
    static constexpr std::int64_t kEventTextCap = 4096;

    explicit EditorTextViewAccessibleEvents(EditorTextView* view);

private:
    void attachDocument();
    void aboutToChange(TextRange oldRange);
    void textChanged(TextRange editedRange, std::int64_t changeInLength);
    void selectionChanged();
    /// The first kEventTextCap units of `range` of the shown text (never half a pair).
    QString capped(TextRange range) const;

    EditorTextView* m_view;
    QPointer<EditorDocument> m_document;
    QMetaObject::Connection m_documentConnection;
    /// What the change being made removes, captured before it is made.
    QString m_removed;
    std::int64_t m_removedAt = -1;
    std::int64_t m_caret = -1;
    TextRange m_selection;
};

} // namespace vendrix::app
