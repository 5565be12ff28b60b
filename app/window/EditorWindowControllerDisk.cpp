// Changes on disk: the file watch of each document, the disk check, the external-change
// prompt, and the guard that keeps a save from overwriting a change made elsewhere.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/platform/FileWatcher.h"
#include "app/workspace/WindowMessages.h"

#include <QGuiApplication>
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

/// The desktop's word on whether the application is active.
class DesktopApplicationState final : public ApplicationState {
public:
    bool isActive() const override {
        return QGuiApplication::applicationState() == Qt::ApplicationActive;
    }
};

} // namespace

void EditorWindowController::installFileWatching() {
    m_fileWatcher = std::make_unique<FileWatcher>();
    if (!m_application) {
        m_ownApplication = std::make_unique<DesktopApplicationState>();
        m_application = m_ownApplication.get();
    }
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    applicationBecameActive();
            });
}

void EditorWindowController::watch(EditorDocument& document) {
    if (!document.isLoaded() || !document.fileURL()) {
        m_fileWatcher->unwatch(&document);
        return;
    }
    QPointer<EditorDocument> weak(&document);
    m_fileWatcher->watch(&document, *document.fileURL(), [this, weak] {
        if (weak && indexOf(*weak))
            checkDisk(*weak);
    });
}

void EditorWindowController::applicationBecameActive() {
    // Every file is compared, watched or not: on network file systems (NFS, SMB, sshfs) a
    // change made by another machine raises no event here.
    for (EditorDocument* document : documents()) {
        if (!indexOf(*document) || !document->isLoaded() || !document->fileURL())
            continue;
        if (!m_fileWatcher->isWatching(document))
            watch(*document);
        checkDisk(*document);
    }
    presentExternalChange();
}

void EditorWindowController::checkDisk(EditorDocument& document) {
    // A running save changes the file itself; its end takes the new stamp.
    if (!indexOf(document) || !document.isLoaded() || !document.fileURL() || m_saveFlow->isSaving(document))
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
            scheduleSave();
        }
        refreshTabBar();
        if (&document == activeDocument())
            refreshTitle();
        showMessage(deletedMessage(document.displayName()), 10);
        return;
    }
    if (document.isMissingOnDisk()) {
        document.setMissingOnDisk(false);
        if (document.dirtiedByDeletionAt() == document.contentRevision()) {
            document.setDirty(false);
            document.setPersistedRevision(document.contentRevision());
        }
        document.setDirtiedByDeletionAt(std::nullopt);
        refreshTabBar();
        if (&document == activeDocument())
            refreshTitle();
    }
    if (stamp == document.diskStamp())
        return;
    if (document.isDirty()) {
        document.setExternalChangePending(true);
        presentExternalChange();
    } else {
        // The clean document itself is reloaded, whichever tab is showing.
        reloadFromDisk(document, stamp);
    }
}

void EditorWindowController::presentExternalChange() {
    if (m_isPresentingExternalChange || m_workspace.isEmpty())
        return;
    EditorDocument* document = activeDocument();
    if (document == nullptr || !document->externalChangePending())
        return;
    if (!m_application->isActive())
        return;
    m_isPresentingExternalChange = true;
    document->setExternalChangePending(false);
    QPointer<EditorDocument> weak(document);
    const std::optional<DiskStamp> stamp =
        document->fileURL() ? DiskStamp::of(*document->fileURL()) : std::nullopt;
    if (stamp && stamp != document->diskStamp()) {
        if (document->isDirty()) {
            const PromptAnswer answer = prompter().ask(externalChangeRequest(*document));
            if (weak && indexOf(*weak)) {
                if (answer.button == 1)
                    reloadFromDisk(*weak, stamp);
                else
                    weak->setDiskStamp(stamp); // this change is not reported again
            }
        } else {
            reloadFromDisk(*document, stamp);
        }
    }
    m_isPresentingExternalChange = false;
}

bool EditorWindowController::confirmOverwrite(EditorDocument& document, const QString& target) {
    const std::optional<DiskStamp> now = DiskStamp::of(target);
    const bool changed = document.externalChangePending() ||
                         (now && document.diskStamp() && now != document.diskStamp());
    if (!changed || !now)
        return true;
    const PromptAnswer answer = prompter().ask(externalChangeRequest(document));
    if (answer.button != 1 || !indexOf(document))
        return true;
    reloadFromDisk(document, now);
    return false;
}

} // namespace vendrix::app
