// What the closing flow needs from the window, moving tabs, and switching to a neighbour.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/platform/FileWatcher.h"
#include "app/view/EditorTextView.h"
#include "app/workspace/BackgroundOpen.h"

namespace vendrix::app {

void EditorWindowController::release(EditorDocument& closed) {
    if (m_textView->document() == &closed)
        m_textView->setDocument(nullptr);
    m_fileWatcher->unwatch(&closed);
    closed.setLoadHandler(nullptr);
    // Its file is no longer wanted: a read of it running in the background stops.
    if (isLoadingInBackground(closed))
        m_backgroundLoad->cancel();
}

void EditorWindowController::addEmptyTab() {
    newDocument();
}

void EditorWindowController::focusText() {
    m_textView->setFocus(Qt::OtherFocusReason);
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
