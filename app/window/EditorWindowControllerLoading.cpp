// Large files read in the background: the state of the opens, an opened file's result, and
// the lazy load of a restored tab shown at start-up.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/window/BackgroundOpen.h"
#include "app/window/WindowMessages.h"
#include "core/text/UserFileReader.h"

#include <QFileInfo>
#include <QMainWindow>

#include <cstdio>

namespace vendrix::app {

BackgroundOpen* EditorWindowController::backgroundOpen() const { return m_backgroundOpen; }

bool EditorWindowController::isOpening() const {
    return !m_backgroundOpen.isNull() || !m_backgroundLoad.isNull() || !m_openQueue.isEmpty();
}

void EditorWindowController::openedInBackground(
    OpenedFile file, std::expected<LoadedTextFile, windowFiles::ReadFailure> result) {
    if (!result) {
        // Cancelled: nothing opens, and the memory went with the worker's result.
        if (result.error().kind != windowFiles::ReadFailure::Kind::cancelled)
            prompter().alert(windowMessages::cannotOpen(QFileInfo(file.standardizedPath).fileName()),
                             result.error().description);
        return;
    }
    file.decoded = std::move(result->file.decoded);
    // Pretty-on-open replaces the text it takes, so it does not get this text's index.
    if (!file.decoded.isBinary && prettyOnOpen && prettyOnOpen(file))
        return;
    file.lineIndex = std::move(result->index);
    installOpenedDocument(std::move(file), false);
}

bool EditorWindowController::loadInBackground(EditorDocument& document) {
    if (document.pending().kind != EditorDocument::PendingContent::Kind::file || !document.fileURL())
        return false;
    if (m_backgroundLoad && m_backgroundLoadDocument == &document)
        return true;
    const QString path = *document.fileURL();
    const std::optional<DiskStamp> stamp = DiskStamp::of(path);
    if (!stamp || stamp->size < backgroundOpenBytes ||
        static_cast<std::uint64_t>(stamp->size) > UserFileReader::defaultMaxSize())
        return false;
    // Only the shown tab loads this way: another tab's load gives way.
    delete m_backgroundLoad;
    m_backgroundLoadDocument = &document;
    QPointer<EditorDocument> target(&document);
    auto self = std::make_shared<QPointer<BackgroundOpen>>();
    // Applied once no prompt is up, like an opened file.
    auto apply = [this, target, path, self](BackgroundOpen::Result& result) {
        if (m_backgroundLoad != *self)
            return; // given way to another tab's load meanwhile
        m_backgroundLoad->deleteLater();
        m_backgroundLoad = nullptr;
        m_backgroundLoadDocument = nullptr;
        const bool waiting = target && indexOf(*target) && !target->isLoaded() &&
                             target->pending().kind == EditorDocument::PendingContent::Kind::file;
        if (waiting && !result && result.error().kind != windowFiles::ReadFailure::Kind::cancelled) {
            // As for a file read here: the tab stays pending, with a message.
            showMessage(windowMessages::fileNotFound(path), 8);
            std::fprintf(stderr, "Vendrix: dosya okunamadı: %s\n", path.toLocal8Bit().constData());
        } else if (waiting && result) {
            loadPendingContent(*target, std::move(result->index), std::move(result->file.decoded));
            if (target == activeDocument())
                showActiveDocument();
        }
        if (!isOpening())
            emit openingFinished();
    };
    auto* job = new BackgroundOpen(
        m_window.get(), path, QFileInfo(path).fileName(), openProgressDelayMilliseconds,
        [this, apply](BackgroundOpen::Result read) {
            auto shared = std::make_shared<BackgroundOpen::Result>(std::move(read));
            BackgroundOpen::whenNotBusy(
                this, [this] { return isPresentingPrompt(); }, [apply, shared] { apply(*shared); });
        },
        backgroundOpenStep);
    *self = job;
    job->setParent(this);
    m_backgroundLoad = job;
    return true;
}

} // namespace vendrix::app
