// Large files read in the background: the state of the opens, an opened file's result, the
// lazy load of a restored tab shown at start-up, and the loads features wait for.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/workspace/BackgroundOpen.h"
#include "app/workspace/WindowMessages.h"
#include "core/text/UserFileReader.h"

#include <QFileInfo>
#include <QMainWindow>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace vendrix::app {

BackgroundOpen* EditorWindowController::backgroundOpen() const { return m_backgroundOpen; }

BackgroundOpen* EditorWindowController::backgroundLoad() const { return m_backgroundLoad; }

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

std::optional<std::filesystem::path> EditorWindowController::largeBufferFile(
    const EditorDocument& document) const {
    if (document.isLoaded() || document.pending().kind != EditorDocument::PendingContent::Kind::buffer ||
        !m_session || m_session->buffersDirectory().empty())
        return std::nullopt;
    std::filesystem::path file = m_session->buffersDirectory() / document.pending().bufferName;
    struct stat info {};
    // Anything but a large regular file (a buffer under another spelling, a link, missing) is
    // read here, with the reader's own checks and messages.
    if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < backgroundOpenBytes)
        return std::nullopt;
    return file;
}

bool EditorWindowController::readsInBackground(const EditorDocument& document) const {
    if (largeBufferFile(document))
        return true;
    if (document.isLoaded() || document.pending().kind != EditorDocument::PendingContent::Kind::file ||
        !document.fileURL())
        return false;
    const std::optional<DiskStamp> stamp = DiskStamp::of(*document.fileURL());
    return stamp && stamp->size >= backgroundOpenBytes &&
           static_cast<std::uint64_t>(stamp->size) <= UserFileReader::defaultMaxSize();
}

bool EditorWindowController::isLoadingInBackground(const EditorDocument& document) const {
    return m_backgroundLoad && m_backgroundLoadDocument == &document;
}

void EditorWindowController::loadRequested(EditorDocument& document) {
    // Being read in the background: the text arrives when the read ends. Reading it here as
    // well would hold the window for as long as the worker takes.
    if (isLoadingInBackground(document))
        return;
    // The shown tab (its read cancelled before) is read in the background again.
    if (&document == activeDocument() && loadInBackground(document))
        return;
    // Any other tab is read here, however large its file: the callers that reach one (an edit
    // applied to a hidden tab) have no way to wait. Features that need several tabs, such as
    // the searches across tabs, go through loadPending first.
    loadPendingContent(document);
}

bool EditorWindowController::loadInBackground(EditorDocument& document) {
    if (isLoadingInBackground(document))
        return true;
    if (!readsInBackground(document))
        return false;
    // A restored tab's unsaved text, kept in a session buffer, or its file.
    const EditorDocument::PendingContent::Kind kind = document.pending().kind;
    const bool buffer = kind == EditorDocument::PendingContent::Kind::buffer;
    const QString path = document.fileURL().value_or(QString());
    const QString name = path.isEmpty() ? document.displayName() : QFileInfo(path).fileName();
    std::function<BackgroundOpen::Result(const std::function<bool(double)>&)> loader;
    if (buffer)
        loader = [directory = m_session->buffersDirectory(), bufferName = document.pending().bufferName](
                     const std::function<bool(double)>& progress) {
            return windowFiles::loadBuffer(directory, bufferName, progress);
        };
    // One file is read at a time, and the tab being shown comes first: a running read of
    // another tab gives way (a feature waiting for that tab starts it again afterwards).
    delete m_backgroundLoad;
    m_backgroundLoadDocument = &document;
    QPointer<EditorDocument> target(&document);
    auto self = std::make_shared<QPointer<BackgroundOpen>>();
    // Applied once no prompt is up, like an opened file.
    auto apply = [this, target, path, self, kind, buffer](BackgroundOpen::Result& result) {
        if (m_backgroundLoad != *self)
            return; // given way to another tab's load meanwhile
        m_backgroundLoad->deleteLater();
        m_backgroundLoad = nullptr;
        m_backgroundLoadDocument = nullptr;
        const bool waiting = target && indexOf(*target) && !target->isLoaded() &&
                             target->pending().kind == kind;
        if (waiting && buffer && !result &&
            result.error().kind != windowFiles::ReadFailure::Kind::cancelled) {
            // Read again here, where a missing or unreadable buffer gets its own handling.
            loadPendingContent(*target);
            if (target == activeDocument())
                showActiveDocument();
        } else if (waiting && !result && result.error().kind != windowFiles::ReadFailure::Kind::cancelled) {
            // As for a file read here: the tab stays pending, with a message.
            showMessage(windowMessages::fileNotFound(path), 8);
            std::fprintf(stderr, "Vendrix: dosya okunamadı: %s\n", path.toLocal8Bit().constData());
        } else if (waiting && result) {
            loadPendingContent(*target, std::move(result->index), std::move(result->file.decoded));
            if (target == activeDocument())
                showActiveDocument();
        }
        const bool cancelled =
            !result && result.error().kind == windowFiles::ReadFailure::Kind::cancelled;
        for (auto& waiter : std::exchange(m_backgroundLoadWaiters, {}))
            waiter(target.data(), cancelled);
        if (!isOpening())
            emit openingFinished();
    };
    auto* job = new BackgroundOpen(
        jobRunner(), m_window.get(), path, name, openProgressDelayMilliseconds,
        [this, apply](BackgroundOpen::Result read) {
            auto shared = std::make_shared<BackgroundOpen::Result>(std::move(read));
            BackgroundOpen::whenNotBusy(
                this, [this] { return isPresentingPrompt(); }, [apply, shared] { apply(*shared); });
        },
        m_probe ? std::function<void(double)>([probe = m_probe](double f) { probe->openStep(f); })
                : nullptr,
        std::move(loader));
    *self = job;
    job->setParent(this);
    m_backgroundLoad = job;
    return true;
}

struct EditorWindowController::PendingLoad {
    /// Still to load, in the order asked for.
    std::vector<QPointer<EditorDocument>> documents;
    std::function<void(bool completed)> then;
    /// The user cancelled a read: the remaining large files are not read.
    bool cancelled = false;
};

void EditorWindowController::loadPending(std::vector<EditorDocument*> documents,
                                         std::function<void(bool completed)> then) {
    auto load = std::make_shared<PendingLoad>();
    for (EditorDocument* document : documents)
        load->documents.emplace_back(document);
    load->then = std::move(then);
    continuePendingLoad(load);
}

void EditorWindowController::continuePendingLoad(const std::shared_ptr<PendingLoad>& load) {
    auto& queue = load->documents;
    while (!queue.empty()) {
        EditorDocument* document = queue.front().data();
        if (!document || !indexOf(*document) || document->isLoaded()) {
            queue.erase(queue.begin());
            continue;
        }
        const bool large = readsInBackground(*document);
        if (!large || load->cancelled) {
            // A small file is read here, quickly; after a cancel a large one stays pending.
            if (!large)
                document->ensureLoaded();
            queue.erase(queue.begin());
            continue;
        }
        // Waits for the running read, or starts this document's. Whatever that read's
        // outcome, its document is not tried again (a file that cannot be read stays pending).
        if (!m_backgroundLoad && !loadInBackground(*document)) {
            document->ensureLoaded(); // the file shrank meanwhile
            queue.erase(queue.begin());
            continue;
        }
        m_backgroundLoadWaiters.push_back([this, load](EditorDocument* read, bool cancelled) {
            auto& waiting = load->documents;
            const auto at = std::ranges::find(waiting, read, [](const QPointer<EditorDocument>& each) {
                return each.data();
            });
            if (read && at != waiting.end()) {
                waiting.erase(at);
                load->cancelled = load->cancelled || cancelled;
            }
            continuePendingLoad(load);
        });
        return;
    }
    if (auto then = std::exchange(load->then, nullptr))
        then(!load->cancelled);
}

} // namespace vendrix::app
