// Closing tabs, moving them, and switching to a neighbour.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/platform/FileWatcher.h"
#include "app/view/EditorTextView.h"
#include "app/workspace/BackgroundOpen.h"
#include "app/workspace/WindowMessages.h"

namespace vendrix::app {

namespace msg = windowMessages;

bool EditorWindowController::closeDocument(EditorDocument& document) {
    if (!indexOf(document))
        return false;
    if (m_saveFlow->isSaving(document)) {
        showMessage(msg::alreadySaving(document.displayName()), 4);
        return false;
    }
    if (document.isDirty() && !document.isReadOnly()) {
        if (&document != activeDocument())
            activate(document);
        PromptRequest request;
        request.message = msg::closePrompt(document.displayName());
        request.detail = msg::closePromptDetail();
        request.buttons = {QStringLiteral("Kaydet"), QStringLiteral("Vazgeç"),
                           QStringLiteral("Kaydetme")};
        request.cancelButton = 1;
        request.destructiveButton = 2;
        const int answer = prompter().ask(request).button;
        if (!indexOf(document))
            return false;
        if (answer == 0) {
            const bool saved = document.fileURL() ? m_saveFlow->save(document, *document.fileURL())
                                                  : m_saveFlow->saveAs(document);
            // Typing while the save ran left the tab dirty: those edits are not thrown away.
            if (!saved || !indexOf(document) || document.isDirty())
                return false;
        } else if (answer != 2) {
            return false;
        }
    }
    removeDocument(*indexOf(document));
    m_textView->setFocus(Qt::OtherFocusReason);
    flush();
    return true;
}

void EditorWindowController::removeDocument(std::size_t index) {
    const bool wasActive = static_cast<int>(index) == m_workspace.activeIndex();
    std::unique_ptr<EditorDocument> closed = m_workspace.remove(index);
    if (m_textView->document() == closed.get())
        m_textView->setDocument(nullptr);
    m_fileWatcher->unwatch(closed.get());
    closed->setLoadHandler(nullptr);
    // Its file is no longer wanted: a read of it running in the background stops.
    if (isLoadingInBackground(*closed))
        m_backgroundLoad->cancel();
    closed->closeDown();
    m_workspace.broadcast(EditorEvent::Kind::documentClosed, closed.get());
    closed.reset();

    if (m_workspace.isEmpty()) {
        // The window never has zero tabs.
        newDocument();
        return;
    }
    if (wasActive) {
        // The neighbour goes through the whole activation (showing, loading, watching).
        const std::size_t next = std::min(index, m_workspace.count() - 1);
        activate(*m_workspace.at(next));
    } else {
        refreshTabBar();
    }
}

void EditorWindowController::closeOthers(EditorDocument& keep) {
    const std::vector<EditorDocument*> all = documents();
    for (EditorDocument* document : all) {
        if (document == &keep || !indexOf(*document))
            continue;
        if (!closeDocument(*document))
            return;
    }
}

void EditorWindowController::moveDocument(std::size_t from, std::size_t to) {
    if (!m_workspace.move(from, to))
        return;
    refreshTabBar();
    flush();
}

void EditorWindowController::activateNeighbour(int step) {
    if (m_workspace.isEmpty())
        return;
    const int count = static_cast<int>(m_workspace.count());
    const int next = ((std::max(m_workspace.activeIndex(), 0) + step) % count + count) % count;
    activate(*m_workspace.at(static_cast<std::size_t>(next)));
    m_textView->setFocus(Qt::OtherFocusReason);
}

} // namespace vendrix::app
