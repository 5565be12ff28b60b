// Save, save as, save all and the save-to-path steps.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/jobs/ProgressPanel.h"
#include "app/window/BackgroundSave.h"
#include "app/window/WindowFiles.h"
#include "app/window/WindowMessages.h"

#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <chrono>
#include <thread>

namespace vendrix::app {

namespace msg = windowMessages;

namespace {
/// Stale units a save copies on the spot when it takes its snapshot: two chunks, well under
/// a millisecond.
constexpr std::int64_t immediateSaveCopyUnits = 2 * TextChunkCache::defaultChunkUnits;
} // namespace

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
        // Its large file is being read in the background: nothing to save yet.
        if (isLoadingInBackground(document)) {
            showMessage(msg::stillOpening(document.displayName()), 4);
            return false;
        }
        // The content never arrived: writing the empty text would wipe the file.
        prompter().alert(msg::cannotSave(targetName), msg::notLoaded());
        return false;
    }
    if (document.fileURL() && windowFiles::standardized(*document.fileURL()) == requested &&
        !confirmOverwrite(document, target))
        return false;

    // The worker saves the text as it is when the snapshot is taken; the document stays
    // editable meanwhile. The snapshot shares the chunks the storage keeps, so only their
    // first copy costs: a large one is made a short step per event-loop turn. The chunks are
    // held for the save, so the session letting go of them does not waste the copy.
    const QPointer<EditorDocument> alive(&document);
    BackgroundSave::Request request;
    request.prepare = [alive, stepTime = saveCopyStepTime] {
        if (!alive || !alive->isLoaded())
            return true;
        const TextStorage& storage = *alive->storage();
        if (storage.staleChunkUnits() <= immediateSaveCopyUnits)
            return true;
        const auto start = std::chrono::steady_clock::now();
        while (!storage.prepareChunks(TextChunkCache::defaultChunkUnits))
            if (std::chrono::steady_clock::now() - start >= stepTime)
                return false;
        return true;
    };
    request.capture = [alive] {
        return alive ? alive->chunkSnapshot() : std::nullopt;
    };
    request.encoding = document.encoding();
    request.lineEnding = document.lineEnding();
    request.target = target;
    request.title = msg::saving(targetName);
    BackgroundSave::Options options;
    options.panelDelayMilliseconds = saveProgressDelayMilliseconds;
    options.fault = saveFault;
    options.panelShown = [this](ProgressPanel& panel) { m_savePanel = &panel; };
    m_saving.push_back(&document);
    document.holdChunks();
    std::optional<TextChunkSnapshot> written;
    const BackgroundSave::Result saved = whilePrompting(
        [&] { return BackgroundSave::run(jobRunner(), request, window(), options, &written); });
    std::erase(m_saving, &document);
    const std::optional<std::uint64_t> captured =
        written ? std::optional(written->revision()) : std::nullopt;
    if (alive)
        alive->releaseChunks();
    if (written) {
        // Giving back a large text's chunks takes milliseconds (tens of megabytes unmapped):
        // the snapshot, now their last holder but for chunks edited since, goes to a worker.
        jobRunner().dispose(std::move(*written));
    }
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
    } else if (document.isMissingOnDisk()) {
        addRecentFile(requested); // created by this save (a new file named on the command line)
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
        captured && static_cast<std::uint64_t>(document.contentRevision()) == *captured &&
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

ProgressPanel* EditorWindowController::saveProgressPanel() const { return m_savePanel; }

} // namespace vendrix::app
