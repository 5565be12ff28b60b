#pragma once

#include "app/document/DocumentHooks.h"
#include "app/view/ColumnSelectionQuery.h"
#include "app/view/ScrollBarMapping.h"
#include "app/view/TemporaryAttributes.h"
#include "app/view/TextInputHandler.h"
#include "app/view/TextLayoutModel.h"
#include "core/common/TextRange.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QFont>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QDrag;
class QMenu;

namespace vendrix {
class TextNavigation;
}

namespace vendrix::app {

class EditorDocument;

/// How a change entered the text: typing and deleting at the keyboard merge into one undo
/// step until the run is broken; the others are steps of their own.
enum class EditKind { typing, deletion, paste, cut, other };

/// The editor's text view: shows one document at a time (switching keeps each document's
/// selection, scroll origin and undo history), lays out only what is on screen, and turns
/// keyboard, mouse and input-method events into caret moves, selections and changes made
/// through the document's one change path.
class EditorTextView : public QAbstractScrollArea {
    Q_OBJECT

public:
    /// One row of text on screen. Without wrapping a line is one fragment (its visible part).
    struct LineFragment {
        std::int64_t line = 0;
        TextRange range; ///< the characters of the row
        qreal top = 0;   ///< in viewport coordinates
        qreal height = 0;
        bool startsLine = false; ///< the first row of its line (wrapped rows after it: false)
    };
    /// Sees every proposed change of the shown document before it happens (typing, pasting,
    /// undoable edits of features); may rewrite the replacement or refuse.
    using ChangeDelegate = std::function<bool(TextRange range, std::u16string& replacement)>;
    /// Draws over the background (after the normal background, before the text).
    using BackgroundDecorator = std::function<void(QPainter& painter, const QRectF& rect)>;

    static constexpr qreal kInset = 4;

    explicit EditorTextView(QWidget* parent = nullptr);
    ~EditorTextView() override;

    // Documents.
    /// Shows `document` (none: an empty, inert view). The previous document keeps its
    /// selection and scroll origin in its view state; the new one gets its own back.
    void setDocument(EditorDocument* document);
    EditorDocument* document() const { return m_document; }
    bool isEditable() const;

    // Selection.
    TextRange selectedRange() const;
    std::int64_t caretOffset() const { return m_caret; }
    std::int64_t anchorOffset() const { return m_anchor; }
    /// Selects `range` (clamped to the text); the caret goes to its end.
    void setSelectedRange(TextRange range);
    void setSelection(std::int64_t anchor, std::int64_t caret);
    QString selectedText() const;

    // Editing; every change goes through the change delegate and the document.
    /// Replaces `range` by `text`. Returns false when refused (read-only, delegate).
    bool replaceRange(TextRange range, std::u16string_view text, EditKind kind);
    /// Replaces the selection, as typing does.
    bool insertText(std::u16string_view text, EditKind kind = EditKind::typing);
    void setChangeDelegate(ChangeDelegate delegate) { m_changeDelegate = std::move(delegate); }
    void breakUndoCoalescing();
    void undo();
    void redo();
    // Commands: the input handlers are asked first (see TextInputHandler).
    void cut() { perform(TextCommand::cut); }
    void copy() { perform(TextCommand::copy); }
    void paste() { perform(TextCommand::paste); }
    void selectAll() { perform(TextCommand::selectAll); }
    void deleteSelection() { perform(TextCommand::deleteSelection); }
    /// Runs `command`: the first input handler that takes it, else the view itself.
    void perform(TextCommand command);
    /// The view's own handling of `command`, without asking the handlers.
    void performOwn(TextCommand command);
    /// Whether `command` can run now (menu validation): the first input handler with an
    /// answer decides, else the view's rule (a selection to copy, cut or delete; text on the
    /// clipboard to paste; editable for the changing ones).
    bool canPerform(TextCommand command) const;
    /// Pastes the primary selection at `offset` (middle click).
    void pastePrimary(std::int64_t offset);

    // Input handlers, asked in the order added before the view handles input itself. The
    // view does not own them; remove a handler before destroying it.
    void addInputHandler(TextInputHandler* handler);
    void removeInputHandler(TextInputHandler* handler);
    /// The column selection of this view, if a feature provides one (null otherwise); the
    /// view does not own it.
    void setColumnSelection(ColumnSelectionQuery* query) { m_columnSelection = query; }
    ColumnSelectionQuery* columnSelection() const { return m_columnSelection; }
    /// True while a column selection is active (other handlers leave Tab etc. to it).
    bool isColumnSelectionActive() const {
        return m_columnSelection != nullptr && m_columnSelection->isActive();
    }

    // Appearance.
    void setEditorFont(const QFont& font);
    QFont editorFont() const { return m_baseFont; }
    /// Points added to the font's size by zooming (kept within 6 ... 72 points in total).
    void setZoomDelta(qreal delta);
    qreal zoomDelta() const { return m_zoomDelta; }
    void setTabWidth(int columns);
    int tabWidth() const { return m_layout.tabWidth(); }
    void setWrapsLines(bool wraps);
    bool wrapsLines() const { return m_wraps; }
    void setShowsInvisibles(bool shows);
    bool showsInvisibles() const { return m_showsInvisibles; }

    // Temporary attributes: colours over the text that never touch the storage or undo.
    // Drawing order, bottom to top: background, background layers (in their declared order),
    // the selection, the background decorators (in the order added), the text in its
    // foreground layers' colours, invisibles, the caret.
    const TemporaryAttributes& temporaryAttributes() const { return m_attributes; }
    void addForegroundColor(ForegroundLayer layer, TextRange range, const QColor& color,
                            bool underline = false);
    void removeForegroundColors(ForegroundLayer layer, TextRange range);
    void clearForegroundLayer(ForegroundLayer layer);
    void setBackgroundLayer(BackgroundLayer layer, std::vector<ColoredRange> ranges,
                            bool fullWidth = false);
    void clearBackgroundLayer(BackgroundLayer layer);
    std::vector<BackgroundDecorator>& backgroundDecorators() { return m_decorators; }

    // Geometry queries (viewport coordinates unless said otherwise).
    TextRange visibleCharacterRange();
    std::vector<LineFragment> visibleLineFragments();
    QRectF caretRect();
    /// The rectangle of the row position of `offset` (zero width).
    QRectF rectForOffset(std::int64_t offset);
    /// The offset nearest to a viewport point.
    std::int64_t offsetAt(QPointF viewportPoint);
    QPointF scrollOrigin() const;
    void setScrollOrigin(QPointF origin);
    void scrollRangeToVisible(TextRange range);
    TextLayoutModel& layoutModel() { return m_layout; }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    /// Places `widget` in a left margin of `width` pixels beside the text (the ruler).
    void setLeftMarginWidget(QWidget* widget, int width);

    // Context menu.
    /// Fills the text area's context menu for `offset`, the text offset under the pointer
    /// (the caret's when the menu is opened from the keyboard).
    using ContextMenuFiller = std::function<void(QMenu& menu, std::int64_t offset)>;
    void setContextMenuFiller(ContextMenuFiller filler) { m_contextMenuFiller = std::move(filler); }
    /// Opens the context menu for `offset` at `viewportPoint` (right click, the Menu key,
    /// Shift+F10). Nothing opens without a filler, when the filler adds nothing, or while the
    /// menu is already open.
    void showContextMenu(std::int64_t offset, QPoint viewportPoint);
    /// The context menu while it is open.
    QMenu* contextMenu() const;

signals:
    void selectionChanged();
    void textChanged(vendrix::TextRange editedRange, qint64 changeInLength);
    /// The visible part moved or was laid out again (scroll, resize, font, wrap).
    void viewChanged();
    /// The document shown changed.
    void documentChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Dragging text: moved inside the view (copied with Ctrl), dropped text from elsewhere
    // inserted; see EditorTextViewDragDrop.cpp.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    /// Runs the drag of the selected text and returns its outcome: QDrag::exec, which leaves
    /// `drag` to the drag manager. (A test view answers it itself: the offscreen platform
    /// has no drags.)
    virtual Qt::DropAction runDrag(QDrag& drag, Qt::DropActions actions,
                                   Qt::DropAction defaultAction);

private:
    struct VisibleRow {
        std::int64_t line;
        int segment;
        TextLayoutModel::Segment* laidOut;
        int row;   ///< row index inside the segment's layout
        qreal top; ///< content y of the row
        qreal x;   ///< content x of the segment
    };
    enum class Granularity { character, word, line };

    void documentTextChanged(TextRange editedRange, std::int64_t changeInLength);
    void documentSelectionRestored(TextRange selection);
    void documentTextReplaced();
    void installDocument();
    /// The rows between content y `top` and `bottom` (the viewport when not given).
    std::vector<VisibleRow> visibleRows();
    std::vector<VisibleRow> rowsBetween(qreal top, qreal bottom);
    /// Lays out the pages above and below the visible one while the user is idle.
    void prefetchNeighbourPages();
    void updateScrollBars();
    /// The vertical scroll offset in content pixels (64-bit: the bar only mirrors it).
    std::int64_t scrollY() const { return m_scrollY; }
    /// Scrolls to content y `y` (clamped to the scroll range) and sets the bar to match.
    void setScrollY(std::int64_t y);
    void applyWrapWidth();
    void applyFont();
    void keepAnchor();
    void restoreAnchor();
    QPointF contentToViewport(QPointF point) const;
    QPointF viewportToContent(QPointF point) const;
    /// One visual row located by an offset.
    struct RowAt {
        std::int64_t line = 0;
        int segment = 0;
        TextLayoutModel::Segment* laidOut = nullptr;
        int row = 0; ///< row index inside the segment's layout
    };
    /// The row holding `offset`. An offset where a soft-wrapped row ends and the next begins
    /// belongs to the next row, unless `upstream`: then to the row it ends.
    RowAt rowAt(std::int64_t offset, bool upstream);
    /// The characters of the row holding `offset` (see rowAt); `endsSoftly` tells whether the
    /// row is followed by another row of the same line.
    TextRange visualRowRange(std::int64_t offset, bool upstream, bool* endsSoftly);
    /// Content rectangle (x, top, 0, row height) of an offset's caret position, on the row
    /// rowAt() gives. With `atPreeditCaret`, the caret inside text being composed there.
    QRectF contentRectForOffset(std::int64_t offset, bool atPreeditCaret = false,
                                bool upstream = false);
    /// The offset nearest to a content point. Past the end of a soft-wrapped row, with
    /// `upstream` given: the row's end, and *upstream is set (the caret stays on that row);
    /// without: the offset before the row's last character.
    std::int64_t offsetAtContentPoint(QPointF point, bool* upstream = nullptr);
    /// `upstream`: the caret at a soft row boundary stays at the end of the row before.
    void moveCaret(std::int64_t offset, bool extend, bool keepPreferredX = false,
                   bool upstream = false);
    void moveToRowEdge(bool toEnd, bool extend);
    void moveVertically(int rows, bool extend);
    void ensureCaretVisible();
    /// Scrolls `offset` into view and keeps it there while wrapped rows laid out later
    /// correct their estimated heights, until the user scrolls or the text changes
    /// elsewhere (see followAfterLayout).
    void ensureOffsetVisible(std::int64_t offset, bool upstream = false);
    void scrollOffsetIntoView(std::int64_t offset, bool upstream);
    /// After painting corrected row heights: scrolls the offset last made visible back into
    /// view if the correction moved it out.
    void followAfterLayout();
    void stopFollowing() { m_followOffset = -1; }
    void deleteBy(bool forward, bool byWord);
    void selectionDidChange();
    void restartCaretBlink();
    void publishPrimarySelection();
    void extendMouseSelection(QPointF viewportPoint);
    void startPress(QMouseEvent* event, int clickCount);
    /// The context menu at the caret (the Menu key, Shift+F10).
    void openKeyboardContextMenu();
    /// Whether a press at `viewportPoint` would start dragging the selection.
    bool isInsideSelection(QPointF viewportPoint);
    /// Runs the drag of the selected text (a nested event loop until it is dropped).
    void dragSelection();
    /// Whether a drop of `event` would be taken, and with which action; sets the drop caret.
    bool acceptDrag(QDropEvent* event);
    void setDropOffset(std::int64_t offset);
    /// Asks the input handlers in order until one takes the input.
    template <typename Ask> bool askHandlers(Ask&& ask);
    /// Typed text: offered to the handlers, then inserted.
    void typeText(const QString& text);
    void paintRangeBackground(QPainter& painter, const std::vector<VisibleRow>& rows,
                              TextRange range, const QColor& color, bool fullWidth);
    void paintInvisibles(QPainter& painter, const std::vector<VisibleRow>& rows);
    void drawSegments(QPainter& painter, const std::vector<VisibleRow>& rows, const QRect& clip);
    TextNavigation navigation() const;
    void commitPreedit();

    EditorDocument* m_document = nullptr;
    TextLayoutModel m_layout;
    TemporaryAttributes m_attributes;
    std::vector<BackgroundDecorator> m_decorators;
    std::vector<TextInputHandler*> m_inputHandlers;
    ChangeDelegate m_changeDelegate;
    ColumnSelectionQuery* m_columnSelection = nullptr;

    std::int64_t m_anchor = 0;
    std::int64_t m_caret = 0;
    /// The x kept across consecutive vertical moves (-1: none; any other move, click or
    /// edit forgets it).
    qreal m_preferredX = -1;
    /// The caret sits at the end of a soft-wrapped row rather than at the start of the next
    /// one (the same offset): after End, or a click or vertical move past a row's end. Reset
    /// with m_preferredX.
    bool m_caretUpstream = false;
    std::int64_t m_lineCount = 1;
    bool m_ownEdit = false;
    std::vector<QMetaObject::Connection> m_documentConnections;
    // The view's change observer and filter, registered on the document it shows.
    DocumentHookID m_documentObserver = DocumentHookID::none;
    DocumentHookID m_documentFilter = DocumentHookID::none;

    QFont m_baseFont;
    qreal m_zoomDelta = 0;
    bool m_wraps = false;
    bool m_showsInvisibles = false;

    // Scroll anchor for wrapped text, whose row estimates change as lines are laid out.
    std::int64_t m_anchorLine = 0;
    qreal m_anchorOffset = 0;
    bool m_restoringAnchor = false;

    QBasicTimer m_caretTimer;
    bool m_caretVisible = true;
    QBasicTimer m_autoScrollTimer;
    QPointF m_lastMousePoint;
    bool m_selecting = false;
    Granularity m_granularity = Granularity::character;
    TextRange m_pressRange;
    QElapsedTimer m_lastClickTime;
    QPointF m_lastClickPoint;
    int m_clickCount = 0;
    // A middle press pastes on release unless the mouse moved past the drag distance.
    QPointF m_middlePressPoint;
    bool m_middlePressed = false;
    bool m_middleDragged = false;

    // The vertical scroll offset, and how the bar's int range shows it; m_settingBar is set
    // while the view itself moves the bar.
    std::int64_t m_scrollY = 0;
    ScrollBarMapping m_verticalMapping;
    bool m_settingBar = false;

    bool m_prefetchScheduled = false;
    qreal m_prefetchedTop = -1;
    QPointer<QWidget> m_leftMargin;
    int m_leftMarginWidth = 0;

    // Keeping an offset in view while wrapped rows are laid out (-1: none).
    std::int64_t m_followOffset = -1;
    bool m_followUpstream = false;
    int m_followPasses = 0;

    ContextMenuFiller m_contextMenuFiller;
    QPointer<QMenu> m_contextMenu;

    // A left press inside the selection starts a drag once the mouse moves far enough; a
    // release before that places the caret.
    bool m_dragPending = false;
    QPointF m_dragPressPoint;
    /// Where dragged text would go (-1: no drag over the view).
    std::int64_t m_dropOffset = -1;
    /// Set while this view's own drag runs: a drop inside the view moves the text itself.
    bool m_draggingSelection = false;
};

} // namespace vendrix::app
