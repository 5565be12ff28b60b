#include "app/view/EditorTextView.h"

#include "app/view/PrimarySelection.h"
#include "app/view/TextNavigation.h"
#include "core/text/LineEnding.h"
#include "core/text/LineIndex.h"
#include "core/text/TextStorage.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QResizeEvent>
#include <QScrollBar>
#include <QUndoStack>

#include <algorithm>
#include <cmath>

namespace vendrix::app {
namespace {

constexpr qreal kMinFontSize = 6;
constexpr qreal kMaxFontSize = 72;
/// Selections up to this size are copied to the primary selection at once; larger ones are
/// read when another program asks for them.
constexpr std::int64_t kEagerPrimaryLimit = 1 << 20;

QFont defaultEditorFont() {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(13);
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace

EditorTextView::EditorTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
    m_changeDelegate = [](TextRange, std::u16string& replacement) {
        if (lineEnding::needsNormalization(replacement))
            replacement = lineEnding::normalizeToLF(replacement);
        return true;
    };
    m_baseFont = defaultEditorFont();
    applyFont();
    verticalScrollBar()->setSingleStep(static_cast<int>(m_layout.lineHeight()));
    resize(800, 600);
}

EditorTextView::~EditorTextView() {
    if (m_document)
        m_document->setChangeHandler({});
}

TextNavigation EditorTextView::navigation() const {
    return TextNavigation(m_document->storage(), m_document->lineIndex());
}

// MARK: Documents

void EditorTextView::setDocument(ViewDocument* document) {
    if (document == m_document)
        return;
    if (m_document) {
        commitPreedit();
        m_layout.setPreedit(-1, QString(), 0);
        m_document->setViewState(selectedRange(), scrollOrigin());
        m_document->setChangeHandler({});
        m_document->breakTypingRun();
    }
    m_document = document;
    m_attributes.clear();
    m_layout.setDocument(document);
    m_lineCount = document ? document->lineIndex().lineCount() : 1;
    m_preferredX = -1;
    if (document) {
        document->setChangeHandler([this](TextRange range, std::int64_t delta) {
            documentTextChanged(range, delta);
        });
        document->breakTypingRun();
        TextRange selection = document->viewSelection();
        std::int64_t length = document->storage().length();
        std::int64_t location = std::clamp<std::int64_t>(selection.location, 0, length);
        std::int64_t selected = std::clamp<std::int64_t>(selection.length, 0, length - location);
        m_anchor = location;
        m_caret = location + selected;
        applyWrapWidth();
        updateScrollBars();
        setScrollOrigin(document->viewScrollOrigin());
    } else {
        m_anchor = m_caret = 0;
        updateScrollBars();
    }
    viewport()->update();
    emit documentChanged();
    emit selectionChanged();
    emit viewChanged();
}

void EditorTextView::documentTextChanged(TextRange edited, std::int64_t delta) {
    m_layout.textChanged(edited, delta, m_lineCount);
    m_lineCount = m_document->lineIndex().lineCount();
    m_attributes.textChanged(edited, delta);
    if (!m_ownEdit) {
        const std::int64_t oldEnd = edited.location + edited.length - delta;
        if (m_undoDirection == UndoDirection::undo) {
            m_anchor = edited.location;
            m_caret = edited.end();
        } else if (m_undoDirection == UndoDirection::redo) {
            m_anchor = m_caret = edited.end();
        } else {
            auto move = [&](std::int64_t p) {
                if (p <= edited.location)
                    return p;
                return p >= oldEnd ? p + delta : edited.end();
            };
            m_anchor = move(m_anchor);
            m_caret = move(m_caret);
        }
        std::int64_t length = m_document->storage().length();
        m_anchor = std::clamp<std::int64_t>(m_anchor, 0, length);
        m_caret = std::clamp<std::int64_t>(m_caret, 0, length);
    }
    updateScrollBars();
    viewport()->update();
    emit textChanged(edited, delta);
}

// MARK: Selection

TextRange EditorTextView::selectedRange() const {
    std::int64_t start = std::min(m_anchor, m_caret);
    return {start, std::max(m_anchor, m_caret) - start};
}

void EditorTextView::setSelectedRange(TextRange range) {
    setSelection(range.location, range.end());
}

void EditorTextView::setSelection(std::int64_t anchor, std::int64_t caret) {
    std::int64_t length = m_document ? m_document->storage().length() : 0;
    anchor = std::clamp<std::int64_t>(anchor, 0, length);
    caret = std::clamp<std::int64_t>(caret, 0, length);
    if (m_document) {
        // Never between the halves of a surrogate pair.
        auto outsidePair = [&](std::int64_t p) {
            if (p > 0 && p < length && QChar::isLowSurrogate(m_document->storage().at(p)) &&
                QChar::isHighSurrogate(m_document->storage().at(p - 1)))
                return p - 1;
            return p;
        };
        anchor = outsidePair(anchor);
        caret = outsidePair(caret);
    }
    if (anchor == m_anchor && caret == m_caret)
        return;
    m_anchor = anchor;
    m_caret = caret;
    m_preferredX = -1;
    selectionDidChange();
}

QString EditorTextView::selectedText() const {
    if (!m_document)
        return {};
    TextRange range = selectedRange();
    QString text(static_cast<qsizetype>(range.length), Qt::Uninitialized);
    m_document->storage().copyUnits(range, reinterpret_cast<char16_t*>(text.data()));
    return text;
}

void EditorTextView::selectionDidChange() {
    if (m_document)
        m_document->breakTypingRun();
    publishPrimarySelection();
    restartCaretBlink();
    viewport()->update();
    emit selectionChanged();
}

void EditorTextView::publishPrimarySelection() {
    TextRange range = selectedRange();
    if (!m_document || range.empty())
        return;
    if (range.length <= kEagerPrimaryLimit) {
        PrimarySelection::publish(selectedText());
        return;
    }
    // Read on request; by then the text may have changed, so the range is clamped.
    QPointer<EditorTextView> self(this);
    ViewDocument* document = m_document;
    PrimarySelection::publishLazily([self, document, range]() -> QString {
        if (!self || self->m_document != document)
            return {};
        std::int64_t length = document->storage().length();
        std::int64_t start = std::min(range.location, length);
        TextRange clamped{start, std::min(range.length, length - start)};
        QString text(static_cast<qsizetype>(clamped.length), Qt::Uninitialized);
        document->storage().copyUnits(clamped, reinterpret_cast<char16_t*>(text.data()));
        return text;
    });
}

// MARK: Editing

bool EditorTextView::replaceRange(TextRange range, std::u16string_view text, EditKind kind) {
    if (!isEditable())
        return false;
    std::int64_t length = m_document->storage().length();
    range.location = std::clamp<std::int64_t>(range.location, 0, length);
    range.length = std::clamp<std::int64_t>(range.length, 0, length - range.location);
    std::u16string replacement(text);
    if (m_changeDelegate && !m_changeDelegate(range, replacement))
        return false;
    m_ownEdit = true;
    bool accepted = m_document->replace(range, replacement, kind);
    m_ownEdit = false;
    if (!accepted)
        return false;
    std::int64_t caret = range.location + static_cast<std::int64_t>(replacement.size());
    m_anchor = m_caret = caret;
    m_preferredX = -1;
    publishPrimarySelection();
    restartCaretBlink();
    ensureCaretVisible();
    viewport()->update();
    emit selectionChanged();
    return true;
}

bool EditorTextView::insertText(std::u16string_view text, EditKind kind) {
    return replaceRange(selectedRange(), text, kind);
}

void EditorTextView::breakUndoCoalescing() {
    if (m_document)
        m_document->breakTypingRun();
}

void EditorTextView::undo() {
    if (!isEditable() || !m_document->undoStack().canUndo())
        return;
    commitPreedit();
    m_undoDirection = UndoDirection::undo;
    m_document->undoStack().undo();
    m_undoDirection = UndoDirection::none;
    m_preferredX = -1;
    ensureCaretVisible();
    selectionDidChange();
}

void EditorTextView::redo() {
    if (!isEditable() || !m_document->undoStack().canRedo())
        return;
    commitPreedit();
    m_undoDirection = UndoDirection::redo;
    m_document->undoStack().redo();
    m_undoDirection = UndoDirection::none;
    m_preferredX = -1;
    ensureCaretVisible();
    selectionDidChange();
}

void EditorTextView::copy() {
    if (!m_document || selectedRange().empty())
        return;
    QApplication::clipboard()->setText(selectedText(), QClipboard::Clipboard);
}

void EditorTextView::cut() {
    if (!isEditable() || selectedRange().empty())
        return;
    copy();
    insertText(u"", EditKind::deletion);
}

void EditorTextView::paste() {
    if (!isEditable())
        return;
    QString text = QApplication::clipboard()->text(QClipboard::Clipboard);
    if (text.isEmpty())
        return;
    insertText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                   static_cast<size_t>(text.size())),
               EditKind::paste);
}

void EditorTextView::pastePrimary(std::int64_t offset) {
    if (!isEditable())
        return;
    QString text = PrimarySelection::text();
    if (text.isEmpty())
        return;
    m_anchor = m_caret = std::clamp<std::int64_t>(offset, 0, m_document->storage().length());
    insertText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                   static_cast<size_t>(text.size())),
               EditKind::paste);
}

void EditorTextView::selectAll() {
    if (m_document)
        setSelection(0, m_document->storage().length());
}

// MARK: Appearance

void EditorTextView::applyFont() {
    QFont font = m_baseFont;
    qreal size = m_baseFont.pointSizeF() > 0 ? m_baseFont.pointSizeF() : 13;
    font.setPointSizeF(std::clamp(size + m_zoomDelta, kMinFontSize, kMaxFontSize));
    keepAnchor();
    m_layout.setFont(font);
    applyWrapWidth();
    verticalScrollBar()->setSingleStep(static_cast<int>(m_layout.lineHeight()));
    updateScrollBars();
    restoreAnchor();
    viewport()->update();
    emit viewChanged();
}

void EditorTextView::setEditorFont(const QFont& font) {
    m_baseFont = font;
    applyFont();
}

void EditorTextView::setZoomDelta(qreal delta) {
    qreal size = m_baseFont.pointSizeF() > 0 ? m_baseFont.pointSizeF() : 13;
    delta = std::clamp(size + delta, kMinFontSize, kMaxFontSize) - size;
    if (delta == m_zoomDelta)
        return;
    m_zoomDelta = delta;
    applyFont();
}

void EditorTextView::setTabWidth(int columns) {
    keepAnchor();
    m_layout.setTabWidth(columns);
    updateScrollBars();
    restoreAnchor();
    viewport()->update();
    emit viewChanged();
}

void EditorTextView::setWrapsLines(bool wraps) {
    if (wraps == m_wraps)
        return;
    keepAnchor();
    m_wraps = wraps;
    applyWrapWidth();
    updateScrollBars();
    restoreAnchor();
    if (wraps)
        horizontalScrollBar()->setValue(0);
    viewport()->update();
    emit viewChanged();
}

void EditorTextView::setShowsInvisibles(bool shows) {
    m_showsInvisibles = shows;
    viewport()->update();
}

void EditorTextView::applyWrapWidth() {
    m_layout.setWrapWidth(m_wraps ? viewport()->width() - 2 * kInset : 0);
    setHorizontalScrollBarPolicy(m_wraps ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

// MARK: Temporary attributes

void EditorTextView::addForegroundColor(TextRange range, const QColor& color, bool underline) {
    m_attributes.addForeground(range, color, underline);
    viewport()->update();
}

void EditorTextView::removeForegroundColors(TextRange range) {
    m_attributes.removeForeground(range);
    viewport()->update();
}

void EditorTextView::setBackgroundLayer(const QString& name, std::vector<ColoredRange> ranges,
                                        bool fullWidth) {
    m_attributes.setLayer(name, std::move(ranges), fullWidth);
    viewport()->update();
}

void EditorTextView::clearBackgroundLayer(const QString& name) {
    m_attributes.clearLayer(name);
    viewport()->update();
}

// MARK: Geometry

QPointF EditorTextView::contentToViewport(QPointF point) const {
    return {point.x() + kInset - horizontalScrollBar()->value(),
            point.y() + kInset - verticalScrollBar()->value()};
}

QPointF EditorTextView::viewportToContent(QPointF point) const {
    return {point.x() - kInset + horizontalScrollBar()->value(),
            point.y() - kInset + verticalScrollBar()->value()};
}

QRectF EditorTextView::contentRectForOffset(std::int64_t offset) {
    if (!m_document)
        return {0, 0, 0, m_layout.lineHeight()};
    offset = std::clamp<std::int64_t>(offset, 0, m_document->storage().length());
    std::int64_t line = m_layout.lineOf(offset);
    int segment = m_layout.segmentAt(line, offset);
    TextLayoutModel::Segment& laidOut = m_layout.layout(line, segment);
    int position = laidOut.toLayout(offset);
    if (laidOut.preeditPosition >= 0 && offset == m_layout.preeditOffset())
        position = laidOut.preeditPosition + m_layout.preeditCursor();
    QTextLine row = laidOut.layout.lineForTextPosition(position);
    if (!row.isValid())
        row = laidOut.layout.lineAt(laidOut.layout.lineCount() - 1);
    qreal x = m_layout.segmentX(line, segment) + (row.isValid() ? row.cursorToX(position) : 0);
    qreal y = m_layout.lineTop(line) + m_layout.rowsBeforeSegment(line, segment) * m_layout.lineHeight() +
              (row.isValid() ? row.lineNumber() : 0) * m_layout.lineHeight();
    return {x, y, 0, m_layout.lineHeight()};
}

QRectF EditorTextView::rectForOffset(std::int64_t offset) {
    QRectF rect = contentRectForOffset(offset);
    rect.moveTopLeft(contentToViewport(rect.topLeft()));
    return rect;
}

QRectF EditorTextView::caretRect() {
    QRectF rect = rectForOffset(m_caret);
    rect.setWidth(1);
    return rect;
}

std::int64_t EditorTextView::offsetAtContentPoint(QPointF point) {
    if (!m_document)
        return 0;
    if (point.y() < 0)
        return 0;
    if (point.y() >= m_layout.contentHeight())
        return m_document->storage().length();
    std::int64_t line = m_layout.lineAtY(point.y());
    int segment = 0;
    int rowInSegment = 0;
    if (m_layout.wraps()) {
        int rowInLine = static_cast<int>((point.y() - m_layout.lineTop(line)) / m_layout.lineHeight());
        segment = m_layout.segmentAtRow(line, rowInLine);
        rowInSegment = rowInLine - m_layout.rowsBeforeSegment(line, segment);
    } else {
        segment = m_layout.segmentAtX(line, point.x());
    }
    TextLayoutModel::Segment& laidOut = m_layout.layout(line, segment);
    rowInSegment = std::clamp(rowInSegment, 0, laidOut.layout.lineCount() - 1);
    QTextLine row = laidOut.layout.lineAt(rowInSegment);
    if (!row.isValid())
        return laidOut.range.location;
    int position = row.xToCursor(point.x() - m_layout.segmentX(line, segment),
                                 QTextLine::CursorBetweenCharacters);
    std::int64_t offset = laidOut.fromLayout(position);
    // A soft-wrapped row ends before the next row's first character: clicking past its end
    // must not put the caret on the next row.
    int rowEnd = row.textStart() + row.textLength();
    if (position >= rowEnd && rowInSegment + 1 < laidOut.layout.lineCount() && offset > laidOut.fromLayout(row.textStart()))
        offset = navigation().previousCharacter(offset);
    return offset;
}

std::int64_t EditorTextView::offsetAt(QPointF viewportPoint) {
    return offsetAtContentPoint(viewportToContent(viewportPoint));
}

QPointF EditorTextView::scrollOrigin() const {
    return {static_cast<qreal>(horizontalScrollBar()->value()),
            static_cast<qreal>(verticalScrollBar()->value())};
}

void EditorTextView::setScrollOrigin(QPointF origin) {
    updateScrollBars();
    horizontalScrollBar()->setValue(static_cast<int>(origin.x()));
    verticalScrollBar()->setValue(static_cast<int>(origin.y()));
    keepAnchor();
}

void EditorTextView::ensureOffsetVisible(std::int64_t offset) {
    if (!m_document)
        return;
    QRectF rect = contentRectForOffset(offset);
    updateScrollBars();
    const qreal height = viewport()->height() - 2 * kInset;
    QScrollBar* vertical = verticalScrollBar();
    if (rect.top() < vertical->value())
        vertical->setValue(static_cast<int>(std::floor(rect.top())));
    else if (rect.bottom() > vertical->value() + height)
        vertical->setValue(static_cast<int>(std::ceil(rect.bottom() - height)));
    if (!m_layout.wraps()) {
        const qreal width = viewport()->width() - 2 * kInset;
        QScrollBar* horizontal = horizontalScrollBar();
        if (rect.left() > horizontal->maximum() + width - m_layout.advance())
            horizontal->setMaximum(static_cast<int>(std::ceil(rect.left() - width / 2)));
        if (rect.left() < horizontal->value())
            horizontal->setValue(static_cast<int>(std::max<qreal>(0, rect.left() - width / 4)));
        else if (rect.left() > horizontal->value() + width - m_layout.advance())
            horizontal->setValue(static_cast<int>(rect.left() - width * 3 / 4));
    }
    keepAnchor();
}

void EditorTextView::ensureCaretVisible() { ensureOffsetVisible(m_caret); }

void EditorTextView::scrollRangeToVisible(TextRange range) {
    ensureOffsetVisible(range.end());
    ensureOffsetVisible(range.location);
}

void EditorTextView::updateScrollBars() {
    const qreal viewHeight = viewport()->height();
    const qreal viewWidth = viewport()->width();
    QScrollBar* vertical = verticalScrollBar();
    int maxY = static_cast<int>(std::min<qreal>(
        INT_MAX / 2, std::max<qreal>(0, m_layout.contentHeight() + 2 * kInset - viewHeight)));
    vertical->setRange(0, maxY);
    vertical->setPageStep(static_cast<int>(viewHeight));
    QScrollBar* horizontal = horizontalScrollBar();
    if (m_layout.wraps()) {
        horizontal->setRange(0, 0);
    } else {
        int maxX = static_cast<int>(std::min<qreal>(
            INT_MAX / 2,
            std::max<qreal>(0, m_layout.contentWidth() + 2 * kInset + m_layout.advance() - viewWidth)));
        horizontal->setRange(0, std::max(maxX, horizontal->value()));
        horizontal->setPageStep(static_cast<int>(viewWidth));
        horizontal->setSingleStep(static_cast<int>(m_layout.advance() * 4));
    }
}

void EditorTextView::keepAnchor() {
    if (m_restoringAnchor)
        return;
    qreal y = verticalScrollBar()->value();
    m_anchorLine = m_layout.lineAtY(y);
    m_anchorOffset = y - m_layout.lineTop(m_anchorLine);
}

void EditorTextView::restoreAnchor() {
    if (!m_document)
        return;
    m_anchorLine = std::min(m_anchorLine, m_layout.lineCount() - 1);
    int wanted = static_cast<int>(m_layout.lineTop(m_anchorLine) + m_anchorOffset);
    if (wanted == verticalScrollBar()->value())
        return;
    m_restoringAnchor = true;
    updateScrollBars();
    verticalScrollBar()->setValue(wanted);
    m_restoringAnchor = false;
}

void EditorTextView::scrollContentsBy(int, int) {
    keepAnchor();
    viewport()->update();
    emit viewChanged();
}

void EditorTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    keepAnchor();
    applyWrapWidth();
    updateScrollBars();
    restoreAnchor();
    if (m_leftMargin) {
        QRect area = contentsRect();
        m_leftMargin->setGeometry(area.left(), area.top(), m_leftMarginWidth, area.height());
    }
    emit viewChanged();
}

void EditorTextView::setLeftMarginWidget(QWidget* widget, int width) {
    m_leftMargin = widget;
    m_leftMarginWidth = width;
    setViewportMargins(width, 0, 0, 0);
    if (widget) {
        widget->setParent(this);
        QRect area = contentsRect();
        widget->setGeometry(area.left(), area.top(), width, area.height());
        widget->show();
    }
}

// MARK: Caret

void EditorTextView::restartCaretBlink() {
    m_caretVisible = true;
    int interval = QApplication::cursorFlashTime() / 2;
    if (interval > 0 && hasFocus())
        m_caretTimer.start(interval, this);
    else
        m_caretTimer.stop();
}

void EditorTextView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_caretTimer.timerId()) {
        m_caretVisible = !m_caretVisible;
        viewport()->update(caretRect().toAlignedRect().adjusted(-2, -2, 2, 2));
        return;
    }
    if (event->timerId() == m_autoScrollTimer.timerId()) {
        extendMouseSelection(m_lastMousePoint);
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

void EditorTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    restartCaretBlink();
    viewport()->update();
}

void EditorTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    m_caretTimer.stop();
    m_caretVisible = false;
    viewport()->update();
}

} // namespace vendrix::app
