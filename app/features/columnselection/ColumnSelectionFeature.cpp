#include "app/features/columnselection/ColumnSelectionFeature.h"

#include "app/context/EditorContext.h"
#include "app/context/EditorEvent.h"
#include "app/context/MenuBuilder.h"
#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "core/editing/VisualColumn.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace vendrix::app {

ColumnSelectionFeature::ColumnSelectionFeature() = default;

ColumnSelectionFeature::~ColumnSelectionFeature() {
    m_observation.cancel();
    for (auto& [key, entry] : m_watched)
        if (entry.first)
            entry.first->removeChangeObserver(entry.second);
    for (const QMetaObject::Connection& connection : m_connections)
        disconnect(connection);
    if (m_view) {
        m_view->removeInputHandler(this);
        if (m_view->columnSelection() == this)
            m_view->setColumnSelection(nullptr);
        m_view->clearBackgroundLayer(BackgroundLayer::columnSelection);
    }
}

void ColumnSelectionFeature::attach(EditorContext& context) {
    m_ctx = &context;
    m_pasteboard = QApplication::clipboard();
    m_statusField = context.addStatusField(statusFieldID, 90);
    if (m_statusField && m_statusField->label)
        m_statusField->label->hide();
    m_observation = context.observe([this](const EditorEvent& event) {
        switch (event.kind) {
        case EditorEvent::Kind::documentOpened:
        case EditorEvent::Kind::documentLoaded:
            if (event.document)
                watchDocument(*event.document);
            break;
        case EditorEvent::Kind::documentClosed:
            if (m_selectionDocument == event.document)
                leave(false);
            if (auto record = m_session.lock(); record && record->doc == event.document)
                sealSession();
            unwatchDocument(event.document);
            break;
        case EditorEvent::Kind::activeDocumentChanged:
            // A tab switch ends column mode and the typing run.
            sealSession();
            if (m_selection && m_selectionDocument != event.document)
                leave(false);
            break;
        default:
            break;
        }
    });
    for (EditorDocument* document : context.documents())
        watchDocument(*document);
    attachToView();
}

void ColumnSelectionFeature::attachToView() {
    EditorTextView* textView = m_ctx ? m_ctx->textView() : nullptr;
    if (!textView)
        return;
    m_view = textView;
    textView->addInputHandler(this);
    textView->setColumnSelection(this);
    QPointer<ColumnSelectionFeature> self(this);
    textView->backgroundDecorators().push_back([self](QPainter& painter, const QRectF&) {
        if (self)
            self->drawCarets(painter);
    });
    m_connections.push_back(connect(textView, &EditorTextView::selectionChanged, this, [this] {
        // A selection the feature did not make (find, go to line, a script) ends column mode.
        if (m_applying == 0 && m_selection && m_trackingButton == Qt::NoButton)
            leave(false);
    }));
    m_connections.push_back(connect(textView, &EditorTextView::documentChanged, this, [this] {
        sealSession();
        if (m_selection && m_selectionDocument != shownDocument())
            leave(false);
    }));
    m_connections.push_back(connect(textView, &EditorTextView::viewChanged, this, [this] {
        if (m_selection)
            refreshDrawing();
    }));
}

void ColumnSelectionFeature::watchDocument(EditorDocument& document) {
    if (m_watched.contains(&document) && m_watched[&document].first)
        return;
    QPointer<ColumnSelectionFeature> self(this);
    DocumentHookID id =
        document.addChangeObserver([self](EditorDocument& changed, TextRange, std::int64_t) {
            if (self && self->m_applying == 0)
                self->documentChangedElsewhere(changed);
        });
    m_watched[&document] = {QPointer<EditorDocument>(&document), id};
    // A reload or a new text installed without an edit report.
    m_connections.push_back(connect(&document, &EditorDocument::textReplaced, this,
                                    [this, doc = QPointer<EditorDocument>(&document)] {
                                        if (doc && m_applying == 0)
                                            documentChangedElsewhere(*doc);
                                    }));
}

void ColumnSelectionFeature::unwatchDocument(EditorDocument* document) {
    auto found = m_watched.find(document);
    if (found == m_watched.end())
        return;
    if (found->second.first)
        found->second.first->removeChangeObserver(found->second.second);
    m_watched.erase(found);
}

void ColumnSelectionFeature::documentChangedElsewhere(EditorDocument& document) {
    // Any change not made by the feature closes the typing record of that document (its
    // region would no longer describe the text) and ends column mode there.
    if (auto record = m_session.lock(); record && record->doc == &document)
        sealSession();
    if (m_selection && m_selectionDocument == &document)
        leave(false);
}

// MARK: State

EditorTextView* ColumnSelectionFeature::view() const {
    return m_view.data();
}

EditorDocument* ColumnSelectionFeature::shownDocument() const {
    return m_view ? m_view->document() : nullptr;
}

bool ColumnSelectionFeature::editable() const {
    EditorDocument* document = shownDocument();
    return document && document->isLoaded() && !document->isReadOnly() && m_view->isEditable();
}

int ColumnSelectionFeature::tabWidth() const {
    return m_view ? std::max(1, m_view->tabWidth()) : 4;
}

std::u16string_view ColumnSelectionFeature::text() const {
    EditorDocument* document = shownDocument();
    if (!document || !document->isLoaded())
        return {};
    return document->storageForReading()->contiguous();
}

std::vector<ColumnLineSpan> ColumnSelectionFeature::spans() const {
    EditorDocument* document = shownDocument();
    if (!m_selection || !document || !document->isLoaded())
        return {};
    return ColumnLayout::spans(*m_selection, text(), document->lineIndex(), tabWidth());
}

ColumnPoint ColumnSelectionFeature::pointOfOffset(std::int64_t offset) const {
    EditorDocument* document = shownDocument();
    if (!document || !document->isLoaded())
        return {};
    return ColumnLayout::point(offset, text(), document->lineIndex(), tabWidth());
}

std::int64_t ColumnSelectionFeature::offsetOfPoint(ColumnPoint point) const {
    EditorDocument* document = shownDocument();
    if (!document || !document->isLoaded())
        return 0;
    const LineIndex& lines = document->lineIndex();
    if (point.line >= lines.lineCount())
        return document->length();
    const std::u16string_view whole = text();
    TextRange content = VisualColumn::contentRange(point.line, whole, lines);
    return VisualColumn::offset(point.column, content, whole, tabWidth()).offset;
}

ColumnPoint ColumnSelectionFeature::pointAt(QPointF viewportPoint) const {
    const std::int64_t offset = m_view->offsetAt(viewportPoint);
    ColumnPoint point = pointOfOffset(offset);
    // Right of the line's end the column grows by space widths: a rectangle may reach into
    // the virtual space beyond short lines.
    EditorDocument* document = shownDocument();
    TextRange content = VisualColumn::contentRange(point.line, text(), document->lineIndex());
    if (offset == content.end()) {
        const qreal endX = m_view->rectForOffset(content.end()).left();
        const qreal space = std::max<qreal>(
            1, QFontMetricsF(m_view->layoutModel().font()).horizontalAdvance(QLatin1Char(' ')));
        const auto extra =
            static_cast<std::int64_t>(std::lround((viewportPoint.x() - endX) / space));
        if (extra > 0)
            point.column = std::min(point.column + extra, maxColumn);
    }
    return point;
}

SelectionState ColumnSelectionFeature::currentState() const {
    if (m_selection)
        return *m_selection;
    return m_view ? m_view->selectedRange() : TextRange{};
}

void ColumnSelectionFeature::setSelection(std::optional<ColumnSelection> selection) {
    const bool wasActive = m_selection.has_value();
    m_selection = std::move(selection);
    if (m_selection) {
        m_selectionDocument = shownDocument();
        // The view's own selection shrinks to a caret at the active point, where input
        // methods and scrolling follow it.
        ++m_applying;
        const std::int64_t caret = offsetOfPoint(m_selection->active);
        m_view->setSelection(caret, caret);
        m_view->scrollRangeToVisible({caret, 0});
        --m_applying;
    } else {
        m_selectionDocument = nullptr;
        m_composing = false;
    }
    if (m_selection || wasActive) {
        refreshDrawing();
        scheduleStatus();
    }
}

void ColumnSelectionFeature::select(const ColumnSelection& selection) {
    if (!shownDocument() || !selection.isWellFormed())
        return;
    sealSession();
    setSelection(selection);
}

void ColumnSelectionFeature::leave(bool placeCaret) {
    if (!m_selection)
        return;
    const ColumnPoint active = m_selection->active;
    sealSession();
    setSelection(std::nullopt);
    if (placeCaret && m_view && shownDocument()) {
        ++m_applying;
        const std::int64_t caret = offsetOfPoint(active);
        m_view->setSelection(caret, caret);
        --m_applying;
    }
}

void ColumnSelectionFeature::exitColumnMode() {
    leave(true);
}

void ColumnSelectionFeature::sealSession() {
    if (auto record = m_session.lock())
        record->sealed = true;
    m_session.reset();
}

void ColumnSelectionFeature::extend(ColumnLayout::Direction direction) {
    EditorDocument* document = shownDocument();
    if (!document || !document->isLoaded())
        return;
    ColumnSelection base;
    if (m_selection) {
        base = *m_selection;
    } else {
        const TextRange range = m_view->selectedRange();
        base.anchor = pointOfOffset(range.location);
        base.active = pointOfOffset(range.end());
    }
    select(
        ColumnLayout::moved(base, direction, text(), document->lineIndex(), tabWidth(), maxColumn));
}

// MARK: Status and drawing

void ColumnSelectionFeature::scheduleStatus() {
    if (m_statusScheduled)
        return;
    m_statusScheduled = true;
    QPointer<ColumnSelectionFeature> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self)
            self->refreshStatus();
    });
}

void ColumnSelectionFeature::refreshStatus() {
    m_statusScheduled = false;
    // The built-in position and selection fields follow the rectangle too, also when its
    // active point moves within virtual space (no caret move reports that).
    if (m_ctx)
        m_ctx->refreshStatusBar();
    if (!m_statusField || !m_statusField->label)
        return;
    QLabel* label = m_statusField->label;
    if (!m_selection) {
        label->hide();
        return;
    }
    label->setText(QStringLiteral("Sütun: %1\u00D7%2")
                       .arg(m_selection->lineCount())
                       .arg(m_selection->width()));
    label->setToolTip(QStringLiteral("Sütun seçimi: satır sayısı \u00D7 genişlik"));
    label->show();
}

void ColumnSelectionFeature::refreshDrawing() {
    m_caretOffsets.clear();
    if (!m_view)
        return;
    EditorDocument* document = shownDocument();
    if (!m_selection || !document || !document->isLoaded()) {
        m_view->clearBackgroundLayer(BackgroundLayer::columnSelection);
        return;
    }
    // Only the visible lines: a rectangle over many thousand lines costs what the screen shows.
    std::optional<ColumnLayout::LineRange> lines;
    const std::vector<EditorTextView::LineFragment> fragments = m_view->visibleLineFragments();
    if (!fragments.empty())
        lines = ColumnLayout::LineRange{fragments.front().line, fragments.back().line};
    const QColor highlight = m_view->palette().color(QPalette::Active, QPalette::Highlight);
    QColor fill = highlight;
    fill.setAlphaF(0.35);
    std::vector<ColoredRange> ranges;
    for (const ColumnLineSpan& span :
         ColumnLayout::spans(*m_selection, text(), document->lineIndex(), tabWidth(), lines)) {
        if (!span.range)
            continue;
        if (span.range->empty())
            m_caretOffsets.push_back(span.range->location);
        else
            ranges.push_back({*span.range, fill});
    }
    m_view->setBackgroundLayer(BackgroundLayer::columnSelection, std::move(ranges));
}

void ColumnSelectionFeature::drawCarets(QPainter& painter) {
    if (!m_selection || !m_view || m_caretOffsets.empty())
        return;
    const QColor color = m_view->palette().color(QPalette::Active, QPalette::Text);
    for (std::int64_t offset : m_caretOffsets) {
        const QRectF rect = m_view->rectForOffset(offset);
        painter.fillRect(QRectF(rect.left(), rect.top(), 1.5, rect.height()), color);
    }
}

// MARK: Query

bool ColumnSelectionFeature::isRectangularWithWidth() const {
    return m_selection && m_selection->isRectangular() && m_selection->width() > 0;
}

TextRange ColumnSelectionFeature::boundingRange() const {
    if (!m_selection || !shownDocument())
        return {};
    const std::int64_t start = offsetOfPoint({m_selection->topLine(), m_selection->leftColumn()});
    const std::int64_t end = offsetOfPoint({m_selection->bottomLine(), m_selection->rightColumn()});
    return {start, std::max<std::int64_t>(0, end - start)};
}

std::vector<TextRange> ColumnSelectionFeature::lineParts() const {
    std::vector<TextRange> parts;
    for (const ColumnLineSpan& span : spans())
        if (span.range)
            parts.push_back(*span.range);
    return parts;
}

// MARK: Menus

void ColumnSelectionFeature::contributeMenus(MenuBuilder& builder) {
    builder.addSeparator(MenuID::edit);
    QMenu* submenu = builder.addSubmenu(MenuID::edit, QStringLiteral("Sütun Seçimi"));
    auto hasDocument = [this] { return shownDocument() != nullptr; };
    const auto shortcut = [](Qt::Key key) {
        return QList<QKeySequence>{QKeySequence(Qt::ALT | Qt::SHIFT | key)};
    };
    using Direction = ColumnLayout::Direction;
    MenuBuilder::addItem(submenu,
                         {QStringLiteral("Yukarı Genişlet"), [this] { extend(Direction::up); },
                          shortcut(Qt::Key_Up), hasDocument});
    MenuBuilder::addItem(submenu,
                         {QStringLiteral("Aşağı Genişlet"), [this] { extend(Direction::down); },
                          shortcut(Qt::Key_Down), hasDocument});
    MenuBuilder::addItem(submenu,
                         {QStringLiteral("Sola Genişlet"), [this] { extend(Direction::left); },
                          shortcut(Qt::Key_Left), hasDocument});
    MenuBuilder::addItem(submenu,
                         {QStringLiteral("Sağa Genişlet"), [this] { extend(Direction::right); },
                          shortcut(Qt::Key_Right), hasDocument});
    MenuBuilder::addSeparator(submenu);
    MenuBuilder::addItem(
        submenu,
        {QStringLiteral("Sütun Olarak Yapıştır"),
         [this] { pasteAsColumn(); },
         {},
         [this] { return editable() && m_pasteboard && !m_pasteboard->text().isEmpty(); }});
    MenuBuilder::addItem(submenu, {QStringLiteral("Sütun Seçiminden Çık"),
                                   [this] { exitColumnMode(); },
                                   {},
                                   [this] { return m_selection.has_value(); }});
}

} // namespace vendrix::app
