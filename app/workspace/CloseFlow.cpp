#include "app/workspace/CloseFlow.h"

#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/workspace/SaveFlow.h"
#include "app/workspace/SessionLink.h"
#include "app/workspace/WindowMessages.h"
#include "app/workspace/Workspace.h"

#include <algorithm>
#include <memory>

namespace vendrix::app {

namespace msg = windowMessages;

bool CloseFlow::closeDocument(EditorDocument& document) {
    if (!m_workspace.contains(document))
        return false;
    if (m_saving.isSaving(document)) {
        m_host.showMessage(msg::alreadySaving(document.displayName()), 4);
        return false;
    }
    if (document.isDirty() && !document.isReadOnly()) {
        if (&document != m_workspace.active())
            m_host.activate(document);
        PromptRequest request;
        request.message = msg::closePrompt(document.displayName());
        request.detail = msg::closePromptDetail();
        request.buttons = {QStringLiteral("Kaydet"), QStringLiteral("Vazgeç"),
                           QStringLiteral("Kaydetme")};
        request.cancelButton = 1;
        request.destructiveButton = 2;
        const int answer = m_prompter.ask(request).button;
        if (!m_workspace.contains(document))
            return false;
        if (answer == 0) {
            const bool saved = document.fileURL() ? m_saving.save(document, *document.fileURL())
                                                  : m_saving.saveAs(document);
            // Typing while the save ran left the tab dirty: those edits are not thrown away.
            if (!saved || !m_workspace.contains(document) || document.isDirty())
                return false;
        } else if (answer != 2) {
            return false;
        }
    }
    remove(*m_workspace.indexOf(document));
    m_host.focusText();
    if (m_session)
        (void)m_session->flush(false);
    return true;
}

void CloseFlow::remove(std::size_t index) {
    const bool wasActive = static_cast<int>(index) == m_workspace.activeIndex();
    std::unique_ptr<EditorDocument> closed = m_workspace.remove(index);
    m_host.release(*closed);
    closed->closeDown();
    m_workspace.broadcast(EditorEvent::Kind::documentClosed, closed.get());
    closed.reset();

    if (m_workspace.isEmpty()) {
        // The window never has zero tabs.
        m_host.addEmptyTab();
        return;
    }
    if (wasActive) {
        // The neighbour goes through the whole activation (showing, loading, watching).
        const std::size_t next = std::min(index, m_workspace.count() - 1);
        m_host.activate(*m_workspace.at(next));
    } else {
        m_host.refreshTabBar();
    }
}

void CloseFlow::closeOthers(EditorDocument& keep) {
    const std::vector<EditorDocument*> all = m_workspace.documents();
    for (EditorDocument* document : all) {
        if (document == &keep || !m_workspace.contains(*document))
            continue;
        if (!closeDocument(*document))
            return;
    }
}

} // namespace vendrix::app
