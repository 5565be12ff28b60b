#pragma once

#include "app/context/EditorFeature.h"
#include "app/context/EditorObservation.h"
#include "app/document/DocumentHooks.h"
#include "app/features/columnselection/ColumnUndoRecord.h"
#include "app/view/ColumnSelectionQuery.h"
#include "app/view/TextInputHandler.h"
#include "core/editing/ColumnEdit.h"
#include "core/editing/ColumnEditing.h"
#include "core/editing/ColumnLayout.h"

#include <QObject>
#include <QPointF>
#include <QPointer>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QClipboard;
class QPainter;

namespace vendrix::app {

class EditorContext;
class EditorDocument;
class EditorTextView;
struct StatusBarField;

/// Rectangular selection in the text view: Alt+left-drag or a middle-button drag (a middle
/// click stays the primary paste), or Alt+Shift+arrows, make a column selection; while it is
/// active, typing, deleting, input methods, cut, copy and paste act on every line of it, each
/// change applied as one replacement with its own undo record (consecutive typing extends
/// one); the case commands change each line's part and keep the rectangle. Leaves column mode
/// on Escape, a plain click, navigation keys, Return (one line break at the active point), its
/// exit command and any change of the text it did not make.
class ColumnSelectionFeature final : public QObject,
                                     public EditorFeature,
                                     public TextInputHandler,
                                     public ColumnSelectionQuery {
    Q_OBJECT

public:
    static constexpr std::int64_t maxColumn = 100000;
    static inline const QString columnMimeType = QStringLiteral("com.korpla.vendrix.column");
    static inline const QString statusFieldID = QStringLiteral("columnSelection");

    ColumnSelectionFeature();
    ~ColumnSelectionFeature() override;

    // EditorFeature.
    void attach(EditorContext& context) override;
    void contributeMenus(MenuBuilder& builder) override;

    /// The active column selection, if any.
    const std::optional<ColumnSelection>& selection() const { return m_selection; }
    /// Enters (or changes) column mode with `selection` in the active document.
    void select(const ColumnSelection& selection);
    /// Leaves column mode with the caret at the active point.
    void exitColumnMode();
    /// Extends the rectangle one step (starting from the plain selection when inactive).
    void extend(ColumnLayout::Direction direction);
    /// Typed text (LF-normalised; with a line break it is pasted).
    void typeText(std::u16string text);
    void deleteText(ColumnEditing::Deletion kind);
    void copy();
    void cut();
    /// An ordinary paste while a column selection is active, or of a column copy.
    void paste();
    /// "Sütun Olarak Yapıştır".
    void pasteAsColumn();
    /// The open typing record (tests).
    std::shared_ptr<ColumnUndoRecord> session() const { return m_session.lock(); }
    /// Enabled tests of the Edit menu's paste, copy, cut and delete while attached: a value
    /// when the feature decides, none when the view's own rule applies.
    std::optional<bool> commandEnabled(TextCommand command) const override;

    // ColumnSelectionQuery.
    bool isActive() const override { return m_selection.has_value(); }
    bool isRectangularWithWidth() const override;
    TextRange boundingRange() const override;
    std::vector<TextRange> lineParts() const override;
    bool transformLineParts(LinePartTransform transform, const QString& actionName) override;

    // TextInputHandler.
    bool mousePress(QMouseEvent& event) override;
    bool mouseMove(QMouseEvent& event) override;
    bool mouseRelease(QMouseEvent& event) override;
    bool keyPress(QKeyEvent& event) override;
    bool typedText(const QString& text) override;
    bool inputMethod(QInputMethodEvent& event) override;
    bool command(TextCommand command) override;

private:
    enum class Coalescing { none, typing };

    EditorTextView* view() const;
    EditorDocument* shownDocument() const;
    bool editable() const;
    int tabWidth() const;
    /// The shown document's text (contiguous) or empty.
    std::u16string_view text() const;
    std::vector<ColumnLineSpan> spans() const;
    ColumnPoint pointAt(QPointF viewportPoint) const;
    ColumnPoint pointOfOffset(std::int64_t offset) const;
    std::int64_t offsetOfPoint(ColumnPoint point) const;
    SelectionState currentState() const;

    /// Installs `selection` without touching the undo session.
    void setSelection(std::optional<ColumnSelection> selection);
    /// Leaves column mode; with `placeCaret` the view's caret goes to the active point.
    void leave(bool placeCaret);
    void sealSession();
    /// Applies `edit` as one undoable replacement; false when nothing was changed.
    bool apply(const ColumnEdit& edit, const QString& actionName, Coalescing coalescing);
    void performRecord(ColumnUndoRecord& record, bool undo);
    void install(const SelectionState& state);
    void typeOrDelete(const ColumnEdit& edit);
    void pasteText(std::u16string text, bool column);
    void documentChangedElsewhere(EditorDocument& document);
    void watchDocument(EditorDocument& document);
    void unwatchDocument(EditorDocument* document);
    void attachToView();

    void scheduleStatus();
    void refreshStatus();
    void refreshDrawing();
    void drawCarets(QPainter& painter);

    EditorContext* m_ctx = nullptr;
    std::shared_ptr<StatusBarField> m_statusField;
    std::optional<ColumnSelection> m_selection;
    int m_applying = 0;
    bool m_composing = false;
    std::weak_ptr<ColumnUndoRecord> m_session;
    bool m_statusScheduled = false;
    QClipboard* m_pasteboard = nullptr;

    QPointer<EditorTextView> m_view;
    QPointer<EditorDocument> m_selectionDocument;
    std::map<EditorDocument*, std::pair<QPointer<EditorDocument>, DocumentHookID>> m_watched;
    std::vector<QMetaObject::Connection> m_connections;
    EditorObservation m_observation;
    /// Mouse tracking: the button that drives the drag (none when not tracking).
    Qt::MouseButton m_trackingButton = Qt::NoButton;
    QPointF m_middlePress;
    bool m_middlePending = false;
    bool m_forwardingInput = false;
    /// Offsets of zero-width lines of the visible part, drawn as carets.
    std::vector<std::int64_t> m_caretOffsets;
};

} // namespace vendrix::app
