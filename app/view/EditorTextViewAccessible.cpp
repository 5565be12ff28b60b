#include "app/view/EditorTextViewAccessible.h"

#include "app/document/EditorDocument.h"
#include "app/view/AccessibleTextSegments.h"
#include "app/view/EditorTextView.h"
#include "app/view/EditorTextViewAccessibleEvents.h"
#include "core/text/TextStorage.h"

#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <mutex>
#include <string>

namespace vendrix::app {
namespace {

/// Colours and fonts are looked up in this many units around the offset asked about.
constexpr std::int64_t kAttributeWindow = 512;

int toInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

QString rgb(const QColor& color) {
    return QStringLiteral("rgb(%1,%2,%3)").arg(color.red()).arg(color.green()).arg(color.blue());
}

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* view = qobject_cast<EditorTextView*>(object))
        return new EditorTextViewAccessible(view);
    return nullptr;
}

std::optional<AccessibleTextSegments::Kind> kindOf(QAccessible::TextBoundaryType type) {
    using Kind = AccessibleTextSegments::Kind;
    switch (type) {
    case QAccessible::CharBoundary:
        return Kind::character;
    case QAccessible::WordBoundary:
        return Kind::word;
    case QAccessible::SentenceBoundary:
        return Kind::sentence;
    case QAccessible::ParagraphBoundary:
    case QAccessible::LineBoundary:
        return Kind::line;
    case QAccessible::NoBoundary:
        break;
    }
    return std::nullopt;
}

} // namespace

EditorTextViewAccessible::EditorTextViewAccessible(EditorTextView* textView)
    : QAccessibleWidget(textView, QAccessible::EditableText) {
    // The events start with the first interface: before anyone asked, nobody listens.
    if (!textView->findChild<EditorTextViewAccessibleEvents*>(QString(),
                                                              Qt::FindDirectChildrenOnly))
        new EditorTextViewAccessibleEvents(textView);
}

void EditorTextViewAccessible::install() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(factory); });
}

EditorTextView* EditorTextViewAccessible::view() const {
    return static_cast<EditorTextView*>(widget());
}

// MARK: The object

QAccessible::Role EditorTextViewAccessible::role() const {
    return QAccessible::EditableText;
}

QAccessible::State EditorTextViewAccessible::state() const {
    QAccessible::State result = QAccessibleWidget::state();
    result.multiLine = true;
    result.selectableText = true;
    result.focusable = true;
    result.editable = view()->isEditable();
    result.readOnly = !view()->isEditable();
    return result;
}

QString EditorTextViewAccessible::text(QAccessible::Text kind) const {
    const EditorDocument* document = view()->document();
    switch (kind) {
    case QAccessible::Name:
        if (!view()->accessibleName().isEmpty())
            return view()->accessibleName();
        return document ? document->displayName() : QStringLiteral("Metin");
    case QAccessible::Description:
        return document && document->isReadOnly() ? QStringLiteral("Salt okunur") : QString();
    default:
        return QAccessibleWidget::text(kind);
    }
}

int EditorTextViewAccessible::childCount() const {
    return 0;
}

QAccessibleInterface* EditorTextViewAccessible::child(int) const {
    return nullptr;
}

int EditorTextViewAccessible::indexOfChild(const QAccessibleInterface*) const {
    return -1;
}

QAccessibleInterface* EditorTextViewAccessible::childAt(int, int) const {
    return nullptr;
}

void* EditorTextViewAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

// MARK: Text

int EditorTextViewAccessible::characterCount() const {
    const EditorDocument* document = view()->document();
    return document ? toInt(document->length()) : 0;
}

QString EditorTextViewAccessible::read(std::int64_t start, std::int64_t end) const {
    const EditorDocument* document = view()->document();
    if (!document || !document->storage())
        return {};
    const TextStorage& storage = *document->storage();
    start = std::clamp<std::int64_t>(start, 0, storage.length());
    end = std::clamp<std::int64_t>(end, start, storage.length());
    end = std::min<std::int64_t>(end, start + kMaxRequest);
    // A cut made by the limit never splits a surrogate pair.
    if (end > start && end < storage.length() && QChar::isLowSurrogate(storage.at(end)) &&
        QChar::isHighSurrogate(storage.at(end - 1)))
        --end;
    QString result(static_cast<qsizetype>(end - start), Qt::Uninitialized);
    storage.copyUnits({start, end - start}, reinterpret_cast<char16_t*>(result.data()));
    return result;
}

QString EditorTextViewAccessible::text(int startOffset, int endOffset) const {
    if (endOffset == -1)
        endOffset = characterCount();
    return read(startOffset, endOffset);
}

QString EditorTextViewAccessible::piece(int offset, QAccessible::TextBoundaryType boundaryType,
                                        Side side, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    const EditorDocument* document = view()->document();
    if (!document || !document->storage())
        return {};
    if (offset == -2) // the caret, in the platform bridges' convention
        offset = cursorPosition();
    const auto kind = kindOf(boundaryType);
    if (!kind) {
        *startOffset = 0;
        *endOffset = characterCount();
        return read(0, document->length());
    }
    const AccessibleTextSegments segments(*document->storage(), document->lineIndex());
    const TextRange range = side == Side::before  ? segments.before(offset, *kind)
                            : side == Side::after ? segments.after(offset, *kind)
                                                  : segments.at(offset, *kind);
    *startOffset = toInt(range.location);
    *endOffset = toInt(range.end());
    return read(range.location, range.end());
}

QString EditorTextViewAccessible::textBeforeOffset(int offset,
                                                   QAccessible::TextBoundaryType boundaryType,
                                                   int* startOffset, int* endOffset) const {
    return piece(offset, boundaryType, Side::before, startOffset, endOffset);
}

QString EditorTextViewAccessible::textAfterOffset(int offset,
                                                  QAccessible::TextBoundaryType boundaryType,
                                                  int* startOffset, int* endOffset) const {
    return piece(offset, boundaryType, Side::after, startOffset, endOffset);
}

QString EditorTextViewAccessible::textAtOffset(int offset,
                                               QAccessible::TextBoundaryType boundaryType,
                                               int* startOffset, int* endOffset) const {
    return piece(offset, boundaryType, Side::at, startOffset, endOffset);
}

// MARK: Caret and selections

int EditorTextViewAccessible::cursorPosition() const {
    return toInt(view()->caretOffset());
}

void EditorTextViewAccessible::setCursorPosition(int position) {
    view()->setSelection(position, position);
    view()->scrollRangeToVisible({view()->caretOffset(), 0});
}

int EditorTextViewAccessible::selectionCount() const {
    const EditorTextView* textView = view();
    if (textView->isColumnSelectionActive()) {
        const auto parts = textView->columnSelection()->lineParts();
        return toInt(std::ranges::count_if(parts, [](TextRange part) { return !part.empty(); }));
    }
    return textView->selectedRange().empty() ? 0 : 1;
}

void EditorTextViewAccessible::selection(int selectionIndex, int* startOffset,
                                         int* endOffset) const {
    *startOffset = *endOffset = 0;
    const EditorTextView* textView = view();
    if (textView->isColumnSelectionActive()) {
        int index = 0;
        for (const TextRange part : textView->columnSelection()->lineParts()) {
            if (part.empty())
                continue;
            if (index++ == selectionIndex) {
                *startOffset = toInt(part.location);
                *endOffset = toInt(part.end());
                return;
            }
        }
        return;
    }
    const TextRange selected = textView->selectedRange();
    if (selectionIndex == 0 && !selected.empty()) {
        *startOffset = toInt(selected.location);
        *endOffset = toInt(selected.end());
    }
}

void EditorTextViewAccessible::addSelection(int startOffset, int endOffset) {
    // One selection at a time: a new one replaces it.
    setSelection(0, startOffset, endOffset);
}

void EditorTextViewAccessible::removeSelection(int) {
    const std::int64_t caret = view()->caretOffset();
    view()->setSelection(caret, caret);
}

void EditorTextViewAccessible::setSelection(int, int startOffset, int endOffset) {
    view()->setSelection(startOffset, endOffset);
}

// MARK: Geometry

QRect EditorTextViewAccessible::characterRect(int offset) const {
    EditorTextView* textView = view();
    const EditorDocument* document = textView->document();
    if (!document || !document->storage() || offset < 0 || offset > document->length())
        return {};
    // Only rows on screen: answering for the rest would lay out text nobody sees.
    bool onScreen = false;
    for (const EditorTextView::LineFragment& fragment : textView->visibleLineFragments())
        onScreen =
            onScreen || (offset >= fragment.range.location && offset <= fragment.range.end());
    if (!onScreen)
        return {};
    const QRectF caret = textView->rectForOffset(offset);
    const AccessibleTextSegments segments(*document->storage(), document->lineIndex());
    const TextRange character = segments.at(offset, AccessibleTextSegments::Kind::character);
    qreal width = textView->layoutModel().advance();
    if (!character.empty()) {
        const QRectF next = textView->rectForOffset(character.end());
        if (qFuzzyCompare(next.top(), caret.top()) && next.left() > caret.left())
            width = next.left() - caret.left();
    }
    const QPoint topLeft = textView->viewport()->mapToGlobal(caret.topLeft().toPoint());
    return QRect(topLeft, QSize(std::max(1, qRound(width)), qRound(caret.height())));
}

int EditorTextViewAccessible::offsetAtPoint(const QPoint& point) const {
    EditorTextView* textView = view();
    if (!textView->document())
        return -1;
    const QPoint local = textView->viewport()->mapFromGlobal(point);
    if (!textView->viewport()->rect().contains(local))
        return -1;
    return toInt(textView->offsetAt(local));
}

void EditorTextViewAccessible::scrollToSubstring(int startIndex, int endIndex) {
    view()->scrollRangeToVisible({startIndex, std::max(0, endIndex - startIndex)});
}

QString EditorTextViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    EditorTextView* textView = view();
    const EditorDocument* document = textView->document();
    if (!document || !document->storage())
        return {};
    if (offset == -2)
        offset = cursorPosition();
    const std::int64_t length = document->length();
    const std::int64_t at = std::clamp<std::int64_t>(offset, 0, length);
    const TextRange line = document->lineIndex().range(document->lineIndex().lineNumber(at));
    const std::int64_t windowStart = std::max(line.location, at - kAttributeWindow);
    const std::int64_t windowEnd = std::min(std::max(line.end(), at), at + kAttributeWindow);
    QColor color = textView->palette().color(QPalette::Text);
    std::int64_t start = windowStart;
    std::int64_t end = windowEnd;
    for (const auto& run : textView->temporaryAttributes().effectiveForeground(
             {windowStart, windowEnd - windowStart})) {
        if (run.end <= at) {
            start = std::max(start, run.end);
        } else if (run.start > at) {
            end = std::min(end, run.start);
            break;
        } else {
            start = run.start;
            end = run.end;
            color = run.color;
            break;
        }
    }
    *startOffset = toInt(start);
    *endOffset = toInt(std::max(end, start));
    const QFont font = textView->layoutModel().font();
    return QStringLiteral("font-family:\"%1\";font-size:%2pt;font-weight:%3;font-style:%4;"
                          "color:%5;background-color:%6;")
        .arg(font.family())
        .arg(font.pointSizeF())
        .arg(font.bold() ? QStringLiteral("bold") : QStringLiteral("normal"))
        .arg(font.italic() ? QStringLiteral("italic") : QStringLiteral("normal"))
        .arg(rgb(color), rgb(textView->palette().color(QPalette::Base)));
}

// MARK: Editing

void EditorTextViewAccessible::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, QString());
}

void EditorTextViewAccessible::insertText(int offset, const QString& text) {
    replaceText(offset, offset, text);
}

void EditorTextViewAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    if (endOffset < startOffset)
        return;
    // Through the view, like typing: the change delegate, read-only refusal and undo apply.
    view()->replaceRange({startOffset, endOffset - startOffset},
                         std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                             static_cast<std::size_t>(text.size())),
                         EditKind::other);
}

} // namespace vendrix::app
