// Save, save as, save all and the save-to-path steps.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/context/OpenFormattingPanel.h"
#include "app/window/BackgroundSave.h"
#include "app/window/WindowFiles.h"
#include "app/window/WindowMessages.h"

#include <QFileInfo>
#include <QPointer>

#include <algorithm>

namespace vendrix::app {

namespace msg = windowMessages;

void EditorWindowController::saveActive() {
    EditorDocument* document = activeDocument();
    if (!document || document->isReadOnly())
        return;
    if (document->fileURL())
        saveDocument(*document, *document->fileURL());
    else
        saveAs(*document);
}

bool EditorWindowController::saveAs(EditorDocument& document) {
    if (!panels.save || document.isReadOnly())
        return false;
    const QString proposed = document.fileURL()
                                 ? QFileInfo(*document.fileURL()).fileName()
                                 : document.displayName() + QStringLiteral(".txt");
    const std::optional<QString> path = panels.save(proposed);
    if (!path || !indexOf(document))
        return false;
    return saveDocument(document, *path);
}

void EditorWindowController::saveAll() {
    // Untitled documents stay in the session; only files are written.
    const std::vector<EditorDocument*> all = documents();
    for (EditorDocument* document : all)
        if (indexOf(*document) && document->isDirty() && document->fileURL() &&
            !document->isReadOnly())
            saveDocument(*document, *document->fileURL());
}

bool EditorWindowController::saveDocument(EditorDocument& document, const QString& path) {
    if (document.isReadOnly())
        return false;
    if (isSaving(document)) {
        showMessage(msg::alreadySaving(document.displayName()), 4);
        return false;
    }
    const QString requested = windowFiles::standardized(path);
    const QString targetName = QFileInfo(requested).fileName();
    // Compared with links resolved: one file is never open in two tabs through a link.
    if (EditorDocument* other = documentForFile(requested); other && other != &document) {
        prompter().alert(msg::cannotSave(targetName), msg::openInOtherTab(other->displayName()));
        return false;
    }
    // Writing through a symbolic link writes its target; the link stays a link.
    const QString target = windowFiles::resolved(requested);
    if (windowFiles::exists(target) && !windowFiles::isWritable(target)) {
        prompter().alert(msg::cannotSave(targetName), msg::notWritable());
        return false;
    }
    if (!document.ensureLoaded()) {
        // The content never arrived: writing the empty text would wipe the file.
        prompter().alert(msg::cannotSave(targetName), msg::notLoaded());
        return false;
    }
    if (document.fileURL() && windowFiles::standardized(*document.fileURL()) == requested &&
        !confirmOverwrite(document, target))
        return false;

    // The worker saves the text as it is now; the document stays editable meanwhile.
    BackgroundSave::Request request;
    request.snapshot = *document.snapshot();
    request.encoding = document.encoding();
    request.lineEnding = document.lineEnding();
    request.target = target;
    request.title = msg::saving(targetName);
    BackgroundSave::Options options;
    options.panelDelayMilliseconds = saveProgressDelayMilliseconds;
    options.fault = saveFault;
    options.panelShown = [this](OpenFormattingPanel& panel) { m_savePanel = &panel; };
    const QPointer<EditorDocument> alive(&document);
    m_saving.push_back(&document);
    const BackgroundSave::Result saved =
        whilePrompting([&] { return BackgroundSave::run(request, window(), options); });
    std::erase(m_saving, &document);
    if (!alive || !indexOf(document))
        return saved.has_value();

    if (!saved) {
        const TextFileSaveFailure& failure = saved.error();
        if (failure.wasCancelled()) {
            showMessage(msg::saveCancelled(targetName), 4);
        } else if (failure.encoding) {
            const QString encodingName =
                QString::fromUtf8(textEncoding::displayName(request.encoding));
            if (failure.encoding->kind == TextEncodingError::Kind::unencodable)
                prompter().alert(msg::cannotSave(targetName),
                                 msg::unencodable(encodingName, QString::fromStdU16String(
                                                                    failure.encoding->character)));
            else
                prompter().alert(msg::cannotSave(targetName),
                                 QStringLiteral("Metin ") + encodingName +
                                     QStringLiteral(" kodlamasına dönüştürülemedi."));
        } else {
            prompter().alert(msg::cannotSave(targetName),
                             windowFiles::describeWriteFailure(*failure.file));
        }
        return false;
    }
    // A save as when the requested path differs; the tab keeps the name it was given.
    const bool savedAs =
        !document.fileURL() || windowFiles::standardized(*document.fileURL()) != requested;
    if (savedAs) {
        document.setFileURL(requested, std::nullopt);
        addRecentFile(requested);
    }
    document.setDiskStamp(DiskStamp::of(target));
    document.setExternalChangePending(false);
    document.setMissingOnDisk(false);
    document.setDirtiedByDeletionAt(std::nullopt);
    if (fileWatch.update)
        fileWatch.update(document);
    // Clean only when the file holds what the tab holds: an edit, or a new encoding or line
    // ending, made while the save ran keeps the tab dirty.
    const bool unchanged =
        static_cast<std::uint64_t>(document.contentRevision()) == request.snapshot.revision() &&
        document.encoding() == request.encoding && document.lineEnding() == request.lineEnding;
    document.setDirty(!unchanged);
    refreshTabBar();
    if (&document == activeDocument()) {
        refreshTitle();
        refreshStatusBar();
    }
    broadcast(EditorEvent::Kind::documentSaved, &document);
    flush();
    return true;
}

bool EditorWindowController::isSaving(const EditorDocument& document) const {
    return std::find(m_saving.begin(), m_saving.end(), &document) != m_saving.end();
}

OpenFormattingPanel* EditorWindowController::saveProgressPanel() const { return m_savePanel; }

} // namespace vendrix::app
