#include "app/view/EditorTextView.h"

#include "app/document/EditorDocument.h"
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
    // The document normalises to LF before asking; normalising here too keeps the rule
    // when a caller replaces this delegate with one that puts CRs back.
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
    setDocument(nullptr);
}

TextNavigation EditorTextView::navigation() const {
    return TextNavigation(*m_document->storage(), m_document->lineIndex());
}

bool EditorTextView::isEditable() const {
    return m_document && !m_document->isReadOnly();
}

// MARK: Documents

void EditorTextView::setDocument(EditorDocument* document) {
    if (document == m_document)
        return;
    if (m_document) {
        commitPreedit();
        m_layout.setPreedit(-1, QString(), 0);
        m_document->setSelection(selectedRange());
        m_document->setScrollOrigin(scrollOrigin());
        m_document->removeChangeObserver(m_documentObserver);
        m_document->removeChangeFilter(m_documentFilter);
        m_document->breakTypingRun();
    }
    for (const QMetaObject::Connection& connection : m_documentConnections)
        disconnect(connection);
    m_documentConnections.clear();
    m_documentObserver = m_documentFilter = DocumentHookID::none;
    m_document = document && document->ensureLoaded() ? document : nullptr;
    if (m_document) {
        m_documentObserver = m_document->addChangeObserver(
            [this](EditorDocument&, TextRange range, std::int64_t delta) {
                documentTextChanged(range, delta);
            },
            EditorDocument::ObserverOrder::display);
        m_documentConnections = {
            connect(m_document, &EditorDocument::selectionRestored, this,
                    [this](TextRange selection) { documentSelectionRestored(selection); }),
            connect(m_document, &EditorDocument::textReplaced, this,
                    [this] { documentTextReplaced(); }),
            connect(m_document, &QObject::destroyed, this,
                    [this] {
                        m_document = nullptr;
                        m_documentConnections.clear();
                        installDocument();
                    }),
        };
        m_documentFilter = m_document->addChangeFilter(
            [this](std::span<const TextRange> ranges, std::span<std::u16string> replacements) {
                if (!m_changeDelegate)
                    return true;
                for (size_t i = 0; i < ranges.size(); ++i)
                    if (!m_changeDelegate(ranges[i], replacements[i]))
                        return false;
                return true;
            });
        m_document->breakTypingRun();
    }
    installDocument();
}

void EditorTextView::installDocument() {
    m_prefetchedTop = -1;
    m_attributes.clear();
    m_layout.setDocument(m_document);
    m_lineCount = m_document ? m_document->lineIndex().lineCount() : 1;
    m_preferredX = -1;
    m_caretUpstream = false;
    if (m_document) {
        TextRange selection = m_document->selection();
        std::int64_t length = m_document->length();
        std::int64_t location = std::clamp<std::int64_t>(selection.location, 0, length);
        std::int64_t selected = std::clamp<std::int64_t>(selection.length, 0, length - location);
        m_anchor = location;
        m_caret = location + selected;
        applyWrapWidth();
        updateScrollBars();
        setScrollOrigin(m_document->scrollOrigin());
    } else {
        m_anchor = m_caret = 0;
        updateScrollBars();
    }
    viewport()->update();
    emit documentChanged();
    emit selectionChanged();
    emit viewChanged();
}

void EditorTextView::documentTextReplaced() {
    // A new storage: everything derived from the old text is gone.
    installDocument();
}

void EditorTextView::documentSelectionRestored(TextRange selection) {
    std::int64_t length = m_document->length();
    std::int64_t location = std::clamp<std::int64_t>(selection.location, 0, length);
    m_anchor = location;
    m_caret = location + std::clamp<std::int64_t>(selection.length, 0, length - location);
    m_preferredX = -1;
    m_caretUpstream = false;
    ensureCaretVisible();
    selectionDidChange();
}

void EditorTextView::documentTextChanged(TextRange edited, std::int64_t delta) {
    m_prefetchedTop = -1;
    const std::int64_t oldLineCount = m_lineCount;
    m_layout.textChanged(edited, delta, m_lineCount);
    m_lineCount = m_document->lineIndex().lineCount();
    m_attributes.textChanged(edited, delta);
    // Any edit, here or elsewhere, moves text under the remembered x.
    m_preferredX = -1;
    m_caretUpstream = false;
    if (!m_ownEdit) {
        // Someone else changed the text (undo, a feature): keep the selection in place.
        const std::int64_t oldEnd = edited.location + edited.length - delta;
        auto move = [&](std::int64_t p) {
            if (p <= edited.location)
                return p;
            return p >= oldEnd ? p + delta : edited.end();
        };
        m_anchor = move(m_anchor);
        m_caret = move(m_caret);
        std::int64_t length = m_document->length();
        m_anchor = std::clamp<std::int64_t>(m_anchor, 0, length);
        m_caret = std::clamp<std::int64_t>(m_caret, 0, length);
    }
    updateScrollBars();
    // Repaint from the edited line down; an edit inside one unwrapped line repaints that row.
    const LineIndex& lines = m_document->lineIndex();
    std::int64_t firstLine = lines.lineNumber(edited.location);
    qreal top = contentToViewport({0, m_layout.lineTop(firstLine)}).y();
    qreal bottom = viewport()->height();
    if (m_ownEdit && oldLineCount == m_lineCount && !m_layout.wraps() &&
        lines.lineNumber(edited.end()) == firstLine)
        bottom = top + m_layout.lineHeight();
    if (!m_ownEdit)
        top = 0;
    if (bottom > 0 && top < viewport()->height()) {
        int y = static_cast<int>(std::max<qreal>(0, std::floor(top)));
        viewport()->update(
            QRect(0, y, viewport()->width(), static_cast<int>(std::ceil(bottom)) - y + 1));
    }
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
    std::int64_t length = m_document ? m_document->length() : 0;
    anchor = std::clamp<std::int64_t>(anchor, 0, length);
    caret = std::clamp<std::int64_t>(caret, 0, length);
    if (m_document) {
        // Never between the halves of a surrogate pair.
        auto outsidePair = [&](std::int64_t p) {
            if (p > 0 && p < length && QChar::isLowSurrogate(m_document->storage()->at(p)) &&
                QChar::isHighSurrogate(m_document->storage()->at(p - 1)))
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
    m_caretUpstream = false;
    selectionDidChange();
}

QString EditorTextView::selectedText() const {
    if (!m_document)
        return {};
    TextRange range = selectedRange();
    QString text(static_cast<qsizetype>(range.length), Qt::Uninitialized);
    m_document->storage()->copyUnits(range, reinterpret_cast<char16_t*>(text.data()));
    return text;
}

void EditorTextView::selectionDidChange() {
    if (m_document) {
        m_document->breakTypingRun();
        m_document->setSelection(selectedRange());
    }
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
    EditorDocument* document = m_document;
    PrimarySelection::publishLazily([self, document, range]() -> QString {
        if (!self || self->m_document != document)
            return {};
        std::int64_t length = document->length();
        std::int64_t start = std::min(range.location, length);
        TextRange clamped{start, std::min(range.length, length - start)};
        QString text(static_cast<qsizetype>(clamped.length), Qt::Uninitialized);
        document->storage()->copyUnits(clamped, reinterpret_cast<char16_t*>(text.data()));
        return text;
    });
}

// MARK: Editing

bool EditorTextView::replaceRange(TextRange range, std::u16string_view text, EditKind kind) {
    if (!isEditable())
        return false;
    std::int64_t length = m_document->length();
    range.location = std::clamp<std::int64_t>(range.location, 0, length);
    range.length = std::clamp<std::int64_t>(range.length, 0, length - range.location);
    EditorDocument::EditOptions options;
    options.typing = kind == EditKind::typing || kind == EditKind::deletion;
    if (kind == EditKind::paste)
        options.actionName = QStringLiteral("Yapıştır");
    else if (kind == EditKind::cut)
        options.actionName = QStringLiteral("Kes");
    options.selectionBefore = selectedRange();
    m_ownEdit = true;
    const std::int64_t before = m_document->length();
    bool accepted = m_document->applyEdit(range, std::u16string(text), options);
    m_ownEdit = false;
    if (!accepted)
        return false;
    // The document may have rewritten the text (line breaks, the delegate): the caret goes
    // after what was actually inserted.
    std::int64_t inserted = m_document->length() - before + range.length;
    m_anchor = m_caret = range.location + inserted;
    m_document->setSelection({m_caret, 0});
    m_preferredX = -1;
    m_caretUpstream = false;
    publishPrimarySelection();
    restartCaretBlink();
    ensureCaretVisible(); // the edited rows were marked for repainting with the change
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
    if (!isEditable() || !m_document->undoStack()->canUndo())
        return;
    commitPreedit();
    m_document->undo();
}

void EditorTextView::redo() {
    if (!isEditable() || !m_document->undoStack()->canRedo())
        return;
    commitPreedit();
    m_document->redo();
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
    insertText(u"", EditKind::cut);
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
    m_anchor = m_caret = std::clamp<std::int64_t>(offset, 0, m_document->length());
    insertText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                   static_cast<size_t>(text.size())),
               EditKind::paste);
}

void EditorTextView::selectAll() {
    if (m_document)
        setSelection(0, m_document->length());
}

// MARK: Appearance

void EditorTextView::applyFont() {
    m_prefetchedTop = -1;
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
    m_prefetchedTop = -1;
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
    m_prefetchedTop = -1;
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

EditorTextView::RowAt EditorTextView::rowAt(std::int64_t offset, bool upstream) {
    RowAt at;
    at.line = m_layout.lineOf(offset);
    at.segment = m_layout.segmentAt(at.line, offset);
    at.laidOut = &m_layout.layout(at.line, at.segment);
    const QTextLayout& layout = at.laidOut->layout;
    int position = at.laidOut->toLayout(offset);
    QTextLine row = layout.lineForTextPosition(position);
    at.row = row.isValid() ? row.lineNumber() : std::max(0, layout.lineCount() - 1);
    if (!upstream || !m_layout.wraps() || position != (row.isValid() ? row.textStart() : -1))
        return at;
    if (at.row > 0) {
        --at.row;
    } else if (at.segment > 0 && offset == at.laidOut->range.location) {
        // A long line's segments are laid out apart: the row before is the previous
        // segment's last.
        --at.segment;
        at.laidOut = &m_layout.layout(at.line, at.segment);
        at.row = std::max(0, at.laidOut->layout.lineCount() - 1);
    }
    return at;
}

TextRange EditorTextView::visualRowRange(std::int64_t offset, bool upstream, bool* endsSoftly) {
    RowAt at = rowAt(offset, upstream);
    QTextLine row = at.laidOut->layout.lineAt(at.row);
    std::int64_t start = at.laidOut->range.location;
    std::int64_t end = at.laidOut->range.end();
    if (row.isValid()) {
        start = at.laidOut->fromLayout(row.textStart());
        end = at.laidOut->fromLayout(row.textStart() + row.textLength());
    }
    if (endsSoftly)
        *endsSoftly = m_layout.wraps() && end < m_layout.lineRange(at.line).end();
    return {start, end - start};
}

QRectF EditorTextView::contentRectForOffset(std::int64_t offset, bool atPreeditCaret,
                                            bool upstream) {
    if (!m_document)
        return {0, 0, 0, m_layout.lineHeight()};
    offset = std::clamp<std::int64_t>(offset, 0, m_document->length());
    RowAt at = rowAt(offset, upstream);
    TextLayoutModel::Segment& laidOut = *at.laidOut;
    int position = laidOut.toLayout(offset);
    if (atPreeditCaret && laidOut.preeditPosition >= 0 && offset == m_layout.preeditOffset())
        position = laidOut.preeditPosition + m_layout.preeditCursor();
    QTextLine row = laidOut.layout.lineAt(at.row);
    qreal x =
        m_layout.segmentX(at.line, at.segment) + (row.isValid() ? row.cursorToX(position) : 0);
    qreal y = m_layout.lineTop(at.line) +
              m_layout.rowsBeforeSegment(at.line, at.segment) * m_layout.lineHeight() +
              at.row * m_layout.lineHeight();
    return {x, y, 0, m_layout.lineHeight()};
}

QRectF EditorTextView::rectForOffset(std::int64_t offset) {
    QRectF rect = contentRectForOffset(offset);
    rect.moveTopLeft(contentToViewport(rect.topLeft()));
    return rect;
}

QRectF EditorTextView::caretRect() {
    QRectF rect = contentRectForOffset(m_caret, true, m_caretUpstream);
    rect.moveTopLeft(contentToViewport(rect.topLeft()));
    rect.setWidth(1);
    return rect;
}

std::int64_t EditorTextView::offsetAtContentPoint(QPointF point, bool* upstream) {
    if (upstream)
        *upstream = false;
    if (!m_document)
        return 0;
    if (point.y() < 0)
        return 0;
    if (point.y() >= m_layout.contentHeight())
        return m_document->length();
    std::int64_t line = m_layout.lineAtY(point.y());
    int segment = 0;
    int rowInSegment = 0;
    if (m_layout.wraps()) {
        int rowInLine =
            static_cast<int>((point.y() - m_layout.lineTop(line)) / m_layout.lineHeight());
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
    // A soft-wrapped row ends where the next row begins: past the middle of its last
    // character, the caret stays on this row, at its end when the caller keeps the row.
    const int rowEnd = row.textStart() + row.textLength();
    const bool lastRowOfSegment = rowInSegment + 1 >= laidOut.layout.lineCount();
    const bool wrapsOn =
        m_layout.wraps() && (!lastRowOfSegment || segment + 1 < m_layout.segmentCount(line));
    if (wrapsOn && rowEnd > row.textStart()) {
        const std::int64_t rowStart = laidOut.fromLayout(row.textStart());
        const std::int64_t end = laidOut.fromLayout(rowEnd);
        const std::int64_t last = std::max(rowStart, navigation().previousCharacter(end));
        const qreal middle = (row.cursorToX(laidOut.toLayout(last)) + row.cursorToX(rowEnd)) / 2;
        if (point.x() - m_layout.segmentX(line, segment) >= middle) {
            offset = upstream && end > rowStart ? end : last;
            if (upstream)
                *upstream = end > rowStart;
        }
    }
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

void EditorTextView::ensureOffsetVisible(std::int64_t offset, bool upstream) {
    if (!m_document)
        return;
    QRectF rect = contentRectForOffset(offset, false, upstream);
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

void EditorTextView::ensureCaretVisible() {
    ensureOffsetVisible(m_caret, m_caretUpstream);
}

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
        int maxX = static_cast<int>(
            std::min<qreal>(INT_MAX / 2, std::max<qreal>(0, m_layout.contentWidth() + 2 * kInset +
                                                                m_layout.advance() - viewWidth)));
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
    m_prefetchedTop = -1;
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
