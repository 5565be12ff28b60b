// The context operations the features use: events, status fields, messages, accessories,
// selection, undoable edits and languages.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "app/window/WindowBars.h"

#include <QApplication>
#include <QVBoxLayout>

namespace vendrix::app {

EditorObservation EditorWindowController::observe(EditorObservers::Handler handler) {
    return m_workspace.observe(std::move(handler));
}

void EditorWindowController::replayToObservers() {
    m_workspace.replay();
}

std::shared_ptr<StatusBarField> EditorWindowController::addStatusField(const QString& id,
                                                                       int minWidth) {
    return m_bars->addField(id, minWidth);
}

void EditorWindowController::showMessage(const QString& message, double seconds) {
    m_bars->showMessage(message, seconds);
}

void EditorWindowController::addAccessory(QWidget* accessory, bool atBottom) {
    if (!accessory)
        return;
    removeAccessory(accessory);
    // Top bars go directly above the text, bottom bars directly above the status bar.
    const int textIndex = m_stack->indexOf(m_textView);
    const int index = atBottom ? m_stack->indexOf(m_bars->statusBarWidget()) : textIndex;
    m_stack->insertWidget(index, accessory);
    accessory->show();
    (atBottom ? m_bottomAccessories : m_topAccessories).emplace_back(accessory);
}

void EditorWindowController::removeAccessory(QWidget* accessory) {
    auto drop = [accessory](std::vector<QPointer<QWidget>>& list) {
        return std::erase_if(list, [accessory](const QPointer<QWidget>& item) {
                   return item.isNull() || item == accessory;
               }) > 0;
    };
    const bool top = drop(m_topAccessories);
    const bool bottom = drop(m_bottomAccessories);
    if ((top || bottom) && m_stack->indexOf(accessory) >= 0) {
        // A bar that closes with the focus in it hands the focus back to the text.
        if (accessory->isAncestorOf(QApplication::focusWidget()))
            m_textView->setFocus(Qt::OtherFocusReason);
        m_stack->removeWidget(accessory);
        accessory->hide();
    }
}

void EditorWindowController::select(TextRange range) {
    EditorDocument* document = activeDocument();
    if (!document || !document->isLoaded())
        return;
    if (m_textView->document() == document) {
        m_textView->setSelectedRange(range);
        m_textView->scrollRangeToVisible(m_textView->selectedRange());
    } else {
        const std::int64_t length = document->length();
        const std::int64_t location = std::clamp<std::int64_t>(range.location, 0, length);
        document->setSelection({location, std::clamp<std::int64_t>(range.length, 0, length - location)});
    }
}

bool EditorWindowController::applyEdits(EditorDocument& document, std::vector<TextRange> ranges,
                                        std::vector<std::u16string> replacements,
                                        const QString& actionName) {
    if (ranges.size() != replacements.size())
        return false;
    if (ranges.empty())
        return true;
    if (!indexOf(document) || document.isReadOnly() || !document.ensureLoaded())
        return false;
    // The shown document goes through the view's change filter (installed on the document
    // while it is shown); any other through its own undo history directly.
    const bool displayed = m_textView->document() == &document;
    if (displayed)
        m_textView->breakUndoCoalescing();
    EditorDocument::EditOptions options;
    options.actionName = actionName;
    if (displayed)
        options.selectionBefore = m_textView->selectedRange();
    const bool applied = document.applyEdits(std::move(ranges), std::move(replacements), options);
    if (displayed)
        m_textView->breakUndoCoalescing();
    return applied;
}

void EditorWindowController::openFile(const QString& path, FileOpened then) {
    openFiles({path});
    auto done = [this, path, then = std::move(then)] { then(documentForFile(path)); };
    if (isOpening() || !m_queuedOpens.isEmpty())
        connect(this, &EditorWindowController::openingFinished, this, done,
                Qt::SingleShotConnection);
    else
        done();
}

void EditorWindowController::setLanguage(std::optional<std::string> languageID,
                                         EditorDocument& document) {
    if (document.languageID() == languageID)
        return;
    document.setLanguageID(std::move(languageID));
    if (&document == activeDocument())
        refreshStatusBar();
    m_workspace.broadcast(EditorEvent::Kind::languageChanged, &document);
    scheduleSave();
}

void EditorWindowController::refreshTabBar() {
    m_bars->refreshTabs();
}

void EditorWindowController::refreshStatusBar() {
    m_bars->refreshStatus();
}

} // namespace vendrix::app
