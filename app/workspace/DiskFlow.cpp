#include "app/workspace/DiskFlow.h"

#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/workspace/ApplicationState.h"
#include "app/workspace/ReloadFlow.h"
#include "app/workspace/SaveFlow.h"
#include "app/workspace/SessionLink.h"
#include "app/workspace/WindowMessages.h"
#include "app/workspace/Workspace.h"

#include <QPointer>

namespace vendrix::app {

namespace msg = windowMessages;

namespace {

QString deletedMessage(const QString& name) {
    return QStringLiteral("“") + name +
           QStringLiteral("” diskten silindi ya da taşındı; metin sekmede korunuyor (kaydederseniz "
                          "yeniden oluşturulur).");
}

PromptRequest externalChangeRequest(const EditorDocument& document) {
    PromptRequest request;
    request.message = msg::externalChange(document.displayName());
    request.detail = msg::externalChangeDetail();
    request.buttons = {QStringLiteral("Benimkini Koru"), QStringLiteral("Diskteki Sürümü Yükle")};
    request.cancelButton = 0;
    return request;
}

} // namespace

void DiskFlow::applicationBecameActive() {
    // Every file is compared, watched or not: on network file systems (NFS, SMB, sshfs) a
    // change made by another machine raises no event here.
    for (EditorDocument* document : m_workspace.documents()) {
        if (!m_workspace.contains(*document) || !document->isLoaded() || !document->fileURL())
            continue;
        if (!m_host.isWatching(*document))
            m_host.watch(*document);
        checkDisk(*document);
    }
    presentExternalChange();
}

void DiskFlow::checkDisk(EditorDocument& document) {
    // A running save changes the file itself; its end takes the new stamp.
    if (!m_workspace.contains(document) || !document.isLoaded() || !document.fileURL() ||
        m_saving.isSaving(document))
        return;
    // Not a regular file (gone, or a directory, FIFO or device now): missing, never read.
    const std::optional<DiskStamp> stamp = DiskStamp::of(*document.fileURL());
    if (!stamp) {
        if (document.isMissingOnDisk())
            return;
        document.setMissingOnDisk(true);
        document.setExternalChangePending(false);
        if (!document.isDirty() && !document.isReadOnly()) {
            document.setDirty(true);
            document.setPersistedRevision(std::nullopt);
            document.setDirtiedByDeletionAt(document.contentRevision());
            if (m_session)
                m_session->scheduleSave();
        }
        m_host.refreshTabBar();
        if (&document == m_workspace.active())
            m_host.refreshTitle();
        m_host.showMessage(deletedMessage(document.displayName()), 10);
        return;
    }
    if (document.isMissingOnDisk()) {
        document.setMissingOnDisk(false);
        if (document.dirtiedByDeletionAt() == document.contentRevision()) {
            document.setDirty(false);
            document.setPersistedRevision(document.contentRevision());
        }
        document.setDirtiedByDeletionAt(std::nullopt);
        m_host.refreshTabBar();
        if (&document == m_workspace.active())
            m_host.refreshTitle();
    }
    if (stamp == document.diskStamp())
        return;
    if (document.isDirty()) {
        document.setExternalChangePending(true);
        presentExternalChange();
    } else {
        // The clean document itself is reloaded, whichever tab is showing.
        m_reloading.reloadFromDisk(document, stamp);
    }
}

void DiskFlow::presentExternalChange() {
    if (m_isPresentingExternalChange || m_workspace.isEmpty())
        return;
    EditorDocument* document = m_workspace.active();
    if (document == nullptr || !document->externalChangePending())
        return;
    if (!m_application.isActive())
        return;
    m_isPresentingExternalChange = true;
    document->setExternalChangePending(false);
    QPointer<EditorDocument> weak(document);
    const std::optional<DiskStamp> stamp =
        document->fileURL() ? DiskStamp::of(*document->fileURL()) : std::nullopt;
    if (stamp && stamp != document->diskStamp()) {
        if (document->isDirty()) {
            const PromptAnswer answer = m_prompter.ask(externalChangeRequest(*document));
            if (weak && m_workspace.contains(*weak)) {
                if (answer.button == 1)
                    m_reloading.reloadFromDisk(*weak, stamp);
                else
                    weak->setDiskStamp(stamp); // this change is not reported again
            }
        } else {
            m_reloading.reloadFromDisk(*document, stamp);
        }
    }
    m_isPresentingExternalChange = false;
}

bool DiskFlow::confirmOverwrite(EditorDocument& document, const QString& target) {
    const std::optional<DiskStamp> now = DiskStamp::of(target);
    const bool changed = document.externalChangePending() ||
                         (now && document.diskStamp() && now != document.diskStamp());
    if (!changed || !now)
        return true;
    const PromptAnswer answer = m_prompter.ask(externalChangeRequest(document));
    if (answer.button != 1 || !m_workspace.contains(document))
        return true;
    m_reloading.reloadFromDisk(document, now);
    return false;
}

} // namespace vendrix::app
