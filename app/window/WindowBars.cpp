#include "app/window/WindowBars.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"
#include "app/window/StatusBarView.h"
#include "app/window/TabBarView.h"
#include "core/syntax/LanguageCatalog.h"

#include <QMenu>
#include <QScrollArea>
#include <QTextDocument>
#include <QUrl>

namespace vendrix::app {

WindowBars::WindowBars(EditorWindowController& controller, QWidget* parent)
    : m_controller(controller) {
    m_tabBar = new TabBarView;
    m_tabScroll = TabBarView::makeScrollArea(m_tabBar, parent);
    m_tabScroll->setFixedHeight(m_tabBar->desiredHeight());
    m_statusBar = new StatusBarView(parent);

    auto documentAt = [this](int index) {
        return index < 0 ? nullptr : m_controller.documentAt(static_cast<std::size_t>(index));
    };
    // After any gesture on the tabs the keyboard goes to the text, whatever had it before.
    auto focusText = [this] { m_controller.textView()->setFocus(Qt::MouseFocusReason); };
    QObject* context = &m_connections;
    QObject::connect(m_tabBar, &TabBarView::onSelect, context,
                     [this, documentAt, focusText](int index) {
                         if (EditorDocument* document = documentAt(index))
                             m_controller.activate(*document);
                         focusText();
                     });
    QObject::connect(m_tabBar, &TabBarView::onClose, context,
                     [this, documentAt, focusText](int index) {
                         if (EditorDocument* document = documentAt(index))
                             m_controller.closeDocument(*document);
                         focusText();
                     });
    QObject::connect(m_tabBar, &TabBarView::onMove, context, [this](int from, int to) {
        if (from >= 0 && to >= 0)
            m_controller.moveDocument(static_cast<std::size_t>(from), static_cast<std::size_t>(to));
    });
    QObject::connect(m_tabBar, &TabBarView::onNew, context, [this, focusText] {
        m_controller.newDocument();
        focusText();
    });
    QObject::connect(m_tabBar, &TabBarView::onCloseOthers, context,
                     [this, documentAt, focusText](int index) {
                         if (EditorDocument* document = documentAt(index))
                             m_controller.closeOthers(*document);
                         focusText();
                     });
    QObject::connect(m_tabBar, &TabBarView::onHeightChange, context,
                     [this](int height) { m_tabScroll->setFixedHeight(height); });
    m_tabBar->setDropTarget(this);
    m_tabBar->setMultiline(true);

    QObject::connect(m_statusBar, &StatusBarView::encodingClicked, context,
                     [this] { popUpMenu(QStringLiteral("encoding"), true); });
    QObject::connect(m_statusBar, &StatusBarView::lineEndingClicked, context,
                     [this] { popUpMenu(QStringLiteral("lineEnding"), false); });
}

WindowBars::~WindowBars() {
    m_tabBar->setDropTarget(nullptr);
}

bool WindowBars::onDropFiles(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    return m_controller.openDroppedFiles(urls);
}

QWidget* WindowBars::tabBarWidget() const {
    return m_tabScroll;
}

QWidget* WindowBars::statusBarWidget() const {
    return m_statusBar;
}

void WindowBars::refreshTabs() {
    std::vector<TabBarView::Item> items;
    for (EditorDocument* document : m_controller.documents()) {
        TabBarView::Item item;
        item.title = document->displayName();
        item.isDirty = document->isDirty();
        item.filePath = document->fileURL().value_or(QString());
        // A path that looks like markup is escaped, so the tooltip shows it as it is.
        item.toolTip = Qt::mightBeRichText(item.filePath)
                           ? Qt::convertFromPlainText(item.filePath, Qt::WhiteSpaceNoWrap)
                           : item.filePath;
        items.push_back(std::move(item));
    }
    m_tabBar->setItems(std::move(items), m_controller.activeIndex());
}

void WindowBars::refreshStatus() {
    EditorDocument* document = m_controller.activeDocument();
    if (!document)
        return;
    EditorTextView* view = m_controller.textView();
    const bool shown = view->document() == document;
    const ColumnSelectionQuery* column = shown ? view->columnSelection() : nullptr;
    if (column && !column->isActive())
        column = nullptr;
    // In column mode the view's selection is a caret at the rectangle's active point; the
    // position is where the rectangle starts (its top-left corner) and the selection counts
    // the selected part of every line.
    const TextRange selection = column  ? column->boundingRange()
                                : shown ? view->selectedRange()
                                        : document->selection();
    const LineIndex& lines = document->lineIndex();
    const std::int64_t start = std::clamp<std::int64_t>(selection.location, 0, document->length());
    const std::int64_t line = lines.lineNumber(start);
    m_statusBar->setPosition(line, start - lines.lineStart(line));
    std::int64_t selected = selection.length;
    if (column) {
        selected = 0;
        for (const TextRange& part : column->lineParts())
            selected += part.length;
    }
    m_statusBar->setSelectionLength(selected);
    m_statusBar->setLineEnding(document->lineEnding());
    m_statusBar->setEncodingText(
        document->isReadOnly()
            ? QStringLiteral("Salt okunur")
            : QString::fromUtf8(textEncoding::displayName(document->encoding())));
    const auto name = LanguageCatalog::name(document->languageID());
    m_statusBar->setLanguageText(name ? QString::fromStdString(*name)
                                      : QStringLiteral("Düz metin"));
}

void WindowBars::showMessage(const QString& message, double seconds) {
    m_statusBar->showMessage(message, seconds);
}

std::shared_ptr<StatusBarField> WindowBars::addField(const QString& id, int minWidth) {
    return m_statusBar->addField(id, minWidth);
}

void WindowBars::popUpMenu(const QString& fieldID, bool encoding) {
    const auto field = m_statusBar->field(fieldID);
    if (!field || !m_controller.activeDocument())
        return;
    QMenu menu(m_statusBar);
    if (encoding)
        m_controller.fillEncodingMenu(&menu, false);
    else
        m_controller.fillLineEndingMenu(&menu);
    menu.exec(m_statusBar->popupPosition(*field));
}

} // namespace vendrix::app
