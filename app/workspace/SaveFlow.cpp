#include "app/workspace/SaveFlow.h"

#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/workspace/FilePanels.h"
#include "app/workspace/SessionLink.h"
#include "app/workspace/WindowFiles.h"
#include "app/workspace/WindowMessages.h"
#include "app/workspace/Workspace.h"

#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <chrono>

namespace vendrix::app {

namespace msg = windowMessages;

namespace {
/// Stale units a save copies on the spot when it takes its snapshot: two chunks, well under
/// a millisecond.
constexpr std::int64_t immediateSaveCopyUnits = 2 * TextChunkCache::defaultChunkUnits;
} // namespace

void SaveFlow::saveActive() {
    EditorDocument* document = m_workspace.active();
    if (!document || document->isReadOnly())
        return;
    if (document->fileURL())
        save(*document, *document->fileURL());
    else
        saveAs(*document);
}

bool SaveFlow::saveAs(EditorDocument& document) {
    if (document.isReadOnly())
        return false;
    const QString proposed = document.fileURL() ? QFileInfo(*document.fileURL()).fileName()
                                                : document.displayName() + QStringLiteral(".txt");
    const std::optional<QString> path = m_panels.chooseSaveTarget(proposed);
    if (!path || !m_workspace.contains(document))
        return false;
    return save(document, *path);
}

void SaveFlow::saveAll() {
    const std::vector<EditorDocument*> all = m_workspace.documents();
    for (EditorDocument* document : all)
        if (m_workspace.contains(*document) && document->isDirty() && document->fileURL() &&
            !document->isReadOnly())
            save(*document, *document->fileURL());
}

bool SaveFlow::save(EditorDocument& document, const QString& path) {
    if (document.isReadOnly())
        return false;
    if (isSaving(document)) {
        m_host.showMessage(msg::alreadySaving(document.displayName()), 4);
        return false;
    }
    const QString requested = windowFiles::standardized(path);
    const QString targetName = QFileInfo(requested).fileName();
    // Compared with links resolved: one file is never open in two tabs through a link.
    if (EditorDocument* other = m_workspace.documentForFile(requested);
        other && other != &document) {
        m_prompter.alert(msg::cannotSave(targetName), msg::openInOtherTab(other->displayName()));
        return false;
    }
    // Writing through a symbolic link writes its target; the link stays a link.
    const QString target = windowFiles::resolved(requested);
    if (windowFiles::exists(target) && !windowFiles::isWritable(target)) {
        m_prompter.alert(msg::cannotSave(targetName), msg::notWritable());
        return false;
    }
    if (!document.ensureLoaded()) {
        // Its large file is being read in the background: nothing to save yet.
        if (m_host.isLoadingInBackground(document)) {
            m_host.showMessage(msg::stillOpening(document.displayName()), 4);
            return false;
        }
        // The content never arrived: writing the empty text would wipe the file.
        m_prompter.alert(msg::cannotSave(targetName), msg::notLoaded());
        return false;
    }
    if (document.fileURL() && windowFiles::standardized(*document.fileURL()) == requested &&
        !m_host.confirmOverwrite(document, target))
        return false;

    // The worker saves the text as it is when the snapshot is taken; the document stays
    // editable meanwhile. The snapshot shares the chunks the storage keeps, so only their
    // first copy costs: a large one is made a short step per event-loop turn. The chunks are
    // held for the save, so the session letting go of them does not waste the copy.
    const QPointer<EditorDocument> alive(&document);
    BackgroundSave::Request request;
    request.prepare = [alive, stepTime = copyStepTime] {
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
    request.capture = [alive] { return alive ? alive->chunkSnapshot() : std::nullopt; };
    request.encoding = document.encoding();
    request.lineEnding = document.lineEnding();
    request.target = target;
    request.title = msg::saving(targetName);
    m_saving.push_back(&document);
    document.holdChunks();
    std::optional<TextChunkSnapshot> written;
    const BackgroundSave::Result saved = m_jobs.save(request, &written);
    std::erase(m_saving, &document);
    const std::optional<std::uint64_t> captured =
        written ? std::optional(written->revision()) : std::nullopt;
    if (alive)
        alive->releaseChunks();
    if (written) {
        // Giving back a large text's chunks takes milliseconds (tens of megabytes unmapped):
        // the snapshot, now their last holder but for chunks edited since, goes to a worker.
        m_jobs.dispose(std::move(*written));
    }
    if (!alive || !m_workspace.contains(document))
        return saved.has_value();
    if (!saved) {
        reportFailure(saved.error(), targetName, request.encoding);
        return false;
    }
    // A save as when the requested path differs; the tab keeps the name it was given.
    const bool savedAs =
        !document.fileURL() || windowFiles::standardized(*document.fileURL()) != requested;
    if (savedAs) {
        document.setFileURL(requested, std::nullopt);
        m_host.addRecentFile(requested);
    } else if (document.isMissingOnDisk()) {
        m_host.addRecentFile(
            requested); // created by this save (a new file named on the command line)
    }
    document.setDiskStamp(DiskStamp::of(target));
    document.setExternalChangePending(false);
    document.setMissingOnDisk(false);
    document.setDirtiedByDeletionAt(std::nullopt);
    m_host.watch(document);
    // Clean only when the file holds what the tab holds: an edit, or a new encoding or line
    // ending, made while the save ran keeps the tab dirty.
    const bool unchanged =
        captured && static_cast<std::uint64_t>(document.contentRevision()) == *captured &&
        document.encoding() == request.encoding && document.lineEnding() == request.lineEnding;
    document.setDirty(!unchanged);
    m_host.refresh(document);
    m_workspace.broadcast(EditorEvent::Kind::documentSaved, &document);
    flushSession();
    return true;
}

void SaveFlow::reportFailure(const TextFileSaveFailure& failure, const QString& targetName,
                             TextEncoding encoding) {
    if (failure.wasCancelled()) {
        m_host.showMessage(msg::saveCancelled(targetName), 4);
    } else if (failure.encoding) {
        const QString encodingName = QString::fromUtf8(textEncoding::displayName(encoding));
        if (failure.encoding->kind == TextEncodingError::Kind::unencodable)
            m_prompter.alert(msg::cannotSave(targetName),
                             msg::unencodable(encodingName, QString::fromStdU16String(
                                                                failure.encoding->character)));
        else
            m_prompter.alert(msg::cannotSave(targetName),
                             QStringLiteral("Metin ") + encodingName +
                                 QStringLiteral(" kodlamasına dönüştürülemedi."));
    } else {
        m_prompter.alert(msg::cannotSave(targetName),
                         windowFiles::describeWriteFailure(*failure.file));
    }
}

bool SaveFlow::isSaving(const EditorDocument& document) const {
    return std::find(m_saving.begin(), m_saving.end(), &document) != m_saving.end();
}

void SaveFlow::setSaveEncoding(TextEncoding encoding) {
    EditorDocument* document = m_workspace.active();
    if (!document || document->isReadOnly() || document->encoding() == encoding)
        return;
    document->setEncoding(encoding);
    saveFormatChanged(*document);
}

void SaveFlow::setLineEnding(LineEnding ending) {
    EditorDocument* document = m_workspace.active();
    if (!document || document->isReadOnly() || document->lineEnding() == ending)
        return;
    document->setLineEnding(ending);
    saveFormatChanged(*document);
}

void SaveFlow::saveFormatChanged(EditorDocument& document) {
    // A file saved in another encoding or line ending differs from the one on disk.
    if (document.fileURL())
        document.setDirty(true);
    m_host.refresh(document);
    flushSession();
}

void SaveFlow::flushSession() {
    if (m_session)
        (void)m_session->flush(false);
}

} // namespace vendrix::app
