// Save, save as, save all and the save-to-path steps.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/window/WindowFiles.h"
#include "app/window/WindowMessages.h"
#include "core/text/TextFileCodec.h"

#include <QFileInfo>

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
    TextStorage* storage = document.storageForReading();
    auto encoded = TextFileCodec::encode(storage->contiguous(), document.encoding(),
                                         document.lineEnding());
    if (!encoded) {
        const TextEncodingError& error = encoded.error();
        const QString encodingName =
            QString::fromUtf8(textEncoding::displayName(document.encoding()));
        if (error.kind == TextEncodingError::Kind::unencodable)
            prompter().alert(msg::cannotSave(targetName),
                             msg::unencodable(encodingName,
                                              QString::fromStdU16String(error.character)));
        else
            prompter().alert(msg::cannotSave(targetName),
                             QStringLiteral("Metin ") + encodingName +
                                 QStringLiteral(" kodlamasına dönüştürülemedi."));
        return false;
    }
    if (document.fileURL() && windowFiles::standardized(*document.fileURL()) == requested &&
        !confirmOverwrite(document, target))
        return false;
    // The writer keeps an existing file's permissions and falls back to an in-place write.
    if (auto written = windowFiles::write(target, *encoded); !written) {
        prompter().alert(msg::cannotSave(targetName), written.error());
        return false;
    }
    if (!indexOf(document))
        return true;
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
    document.setDirty(false);
    refreshTabBar();
    if (&document == activeDocument()) {
        refreshTitle();
        refreshStatusBar();
    }
    broadcast(EditorEvent::Kind::documentSaved, &document);
    flush();
    return true;
}

} // namespace vendrix::app
