#include "app/view/EditorTextView.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextViewAccessible.h"
#include "app/view/PrimarySelection.h"
#include "core/common/OffsetAfterEdit.h"
#include "core/editing/TextNavigation.h"
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
    EditorTextViewAccessible::install();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAcceptDrops(true);
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
    stopFollowing();
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
        stopFollowing(); // the offset kept in view may have moved
        // Someone else changed the text (undo, a feature): keep the selection in place.
        m_anchor = offsetAfterEdit(m_anchor, edited, delta, EditAffinity::upstream);
        m_caret = offsetAfterEdit(m_caret, edited, delta, EditAffinity::upstream);
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

// MARK: Appearance

void EditorTextView::applyFont() {
    m_prefetchedTop = -1;
    QFont font = m_baseFont;
    qreal size = m_baseFont.pointSizeF() > 0 ? m_baseFont.pointSizeF() : 13;
    font.setPointSizeF(std::clamp(size + m_zoomDelta, kMinFontSize, kMaxFontSize));
    keepAnchor();
    m_layout.setFont(font);
    applyWrapWidth();
    updateScrollBars(); // the bar's line step follows the line height
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

void EditorTextView::addForegroundColor(ForegroundLayer layer, TextRange range,
                                        const QColor& color, bool underline) {
    m_attributes.addForeground(layer, range, color, underline);
    viewport()->update();
}

void EditorTextView::removeForegroundColors(ForegroundLayer layer, TextRange range) {
    m_attributes.removeForeground(layer, range);
    viewport()->update();
}

void EditorTextView::clearForegroundLayer(ForegroundLayer layer) {
    m_attributes.clearForeground(layer);
    viewport()->update();
}

void EditorTextView::setBackgroundLayer(BackgroundLayer layer, std::vector<ColoredRange> ranges,
                                        bool fullWidth) {
    m_attributes.setBackground(layer, std::move(ranges), fullWidth);
    viewport()->update();
}

void EditorTextView::clearBackgroundLayer(BackgroundLayer layer) {
    m_attributes.clearBackground(layer);
    viewport()->update();
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
