// Opening files, new tabs, activation, showing and lazy loading.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/platform/FileWatcher.h"
#include "app/view/EditorTextView.h"
#include "app/view/LineNumberRulerView.h"
#include "app/workspace/BackgroundOpen.h"
#include "app/workspace/WindowFiles.h"
#include "app/workspace/WindowMessages.h"
#include "core/text/TextFileCodec.h"
#include "core/text/UserFileReader.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QUuid>

#include <cstdio>
#include <cstring>

namespace vendrix::app {

namespace msg = windowMessages;

void EditorWindowController::openFiles(const QStringList& paths, MissingFile missing) {
    if (missing == MissingFile::newTab)
        for (const QString& path : paths)
            m_newIfMissing.insert(path);
    if (m_promptDepth > 0) {
        m_queuedOpens += paths;
        return;
    }
    m_openQueue += paths;
    drainOpenQueue();
}

void EditorWindowController::drainOpenQueue() {
    // A prompt shown while a file opens (pretty-on-open) may let more requests in; they join
    // the queue and the loop below takes them.
    if (m_draining)
        return;
    m_draining = true;
    while (m_backgroundOpen.isNull() && !m_openQueue.isEmpty() && m_promptDepth == 0) {
        const QString path = m_openQueue.takeFirst();
        const bool newIfMissing = m_newIfMissing.remove(path);
        const QString standardized = windowFiles::standardized(path);
        if (EditorDocument* open = documentForFile(standardized)) {
            activate(*open);
            continue;
        }
        if (prettyOnOpenHolds && prettyOnOpenHolds(standardized))
            continue;
        if (newIfMissing && windowFiles::isAbsent(standardized)) {
            newFileDocument(standardized);
            continue;
        }
        readAndOpen(path, standardized);
    }
    m_draining = false;
    if (!isOpening())
        emit openingFinished();
}

bool EditorWindowController::openDroppedFiles(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (!info.exists() || info.isDir()) {
            showMessage(msg::notAFile(info.fileName().isEmpty() ? path : info.fileName()), 4);
            continue;
        }
        paths << path;
    }
    if (paths.isEmpty())
        return false;
    openFiles(paths);
    m_window->raise();
    m_window->activateWindow();
    return true;
}

void EditorWindowController::runOpenPanel() {
    const QStringList paths = m_panels->chooseFilesToOpen();
    if (!paths.isEmpty())
        openFiles(paths);
}

void EditorWindowController::readAndOpen(const QString& path, const QString& standardized) {
    OpenedFile file;
    file.path = path;
    file.standardizedPath = standardized;
    file.stampBeforeReading = DiskStamp::of(path);
    const QString name = QFileInfo(standardized).fileName();
    // Reading and decoding a large file take long enough to be seen: on a worker, behind a
    // panel. One beyond the reader's limit is refused at once, below, without reading.
    if (file.stampBeforeReading && file.stampBeforeReading->size >= backgroundOpenBytes &&
        static_cast<std::uint64_t>(file.stampBeforeReading->size) <= UserFileReader::defaultMaxSize()) {
        auto* job = new BackgroundOpen(
            jobRunner(), m_window.get(), path, name, openProgressDelayMilliseconds,
            [this, file](BackgroundOpen::Result result) {
                // Installed once no prompt is up: a flow waiting on one (closing tabs, say)
                // must not see the tab list change under it.
                auto shared = std::make_shared<BackgroundOpen::Result>(std::move(result));
                BackgroundOpen::whenNotBusy(
                    this, [this] { return m_promptDepth > 0; },
                    [this, file, shared]() mutable {
                        if (m_backgroundOpen)
                            m_backgroundOpen->deleteLater();
                        m_backgroundOpen = nullptr;
                        openedInBackground(std::move(file), std::move(*shared));
                        drainOpenQueue();
                    });
            },
            m_probe ? std::function<void(double)>(
                          [probe = m_probe](double f) { probe->openStep(f); })
                    : nullptr);
        job->setParent(this);
        m_backgroundOpen = job;
        return;
    }
    auto decoded = windowFiles::readDecoded(path);
    if (!decoded) {
        prompter().alert(msg::cannotOpen(name), decoded.error().description);
        return;
    }
    file.decoded = std::move(*decoded);
    if (!file.decoded.isBinary && prettyOnOpen && prettyOnOpen(file))
        return;
    installOpenedDocument(std::move(file), false);
}

EditorDocument* EditorWindowController::untouchedActiveDocument() const {
    EditorDocument* active = activeDocument();
    if (active && (active->fileURL() || active->isDirty() || !active->isLoaded() ||
                   active->length() != 0))
        return nullptr;
    return active;
}

EditorDocument* EditorWindowController::installOpenedDocument(OpenedFile file, bool pretty) {
    if (EditorDocument* open = documentForFile(file.standardizedPath)) {
        activate(*open);
        return open;
    }
    auto created = std::make_unique<EditorDocument>(QUuid::createUuid());
    EditorDocument& document = *created;
    // No bookmarks on this platform: the path is the persistent reference.
    document.setFileURL(file.standardizedPath, std::nullopt);
    document.setEncoding(file.decoded.encoding);
    document.setLineEnding(file.decoded.lineEnding);
    document.setReadOnly(file.decoded.isBinary);
    document.setDiskStamp(file.stampBeforeReading ? file.stampBeforeReading
                                                  : DiskStamp::of(file.standardizedPath));
    const bool binary = file.decoded.isBinary;
    // Normalising mixed line breaks changes bytes on the next save, and a NUL may mean the
    // file is not text after all: both are said once, here.
    const QString name = QFileInfo(file.standardizedPath).fileName();
    QStringList notes;
    if (!binary && file.decoded.mixedLineEndings) {
        const std::string_view ending = lineEnding::rawValue(file.decoded.lineEnding);
        notes << msg::mixedLineEndings(
            name,
            QString::fromLatin1(ending.data(), static_cast<qsizetype>(ending.size())).toUpper());
    }
    if (!binary && file.decoded.holdsNul)
        notes << msg::holdsNul(name);
    // A line index built with the text (on the worker that read it) is taken as it is; one
    // that does not fit the text is a fault, and the text is indexed here instead.
    std::optional<LineIndex> index = std::move(file.lineIndex);
    if (index && index->length() != static_cast<std::int64_t>(file.decoded.text.size()))
        index.reset();
    document.setPending(EditorDocument::PendingContent::ofText(std::move(file.decoded.text)));

    EditorDocument* untouched = untouchedActiveDocument();

    installDocument(std::move(created), m_workspace.insertionIndex());
    // Loaded at once; a binary-looking (read-only) file keeps its text exactly as decoded.
    loadPendingContent(document, std::move(index));
    if (pretty) {
        document.setDirty(true);
        document.setPersistedRevision(std::nullopt);
    }
    m_workspace.broadcast(EditorEvent::Kind::documentOpened, &document);
    activate(document);
    if (untouched && indexOf(*untouched))
        closeDocument(*untouched);
    addRecentFile(file.standardizedPath);
    if (binary)
        prompter().alert(msg::binaryOpened(name));
    if (!notes.isEmpty())
        showMessage(notes.join(QLatin1Char(' ')), 12);
    if (pretty) {
        refreshTabBar();
        refreshTitle();
        showMessage(QStringLiteral("Güzelleştirilerek açıldı — kaydedersen dosya değişir"), 12);
        flush();
    }
    if (file.stampBeforeReading && DiskStamp::of(file.standardizedPath) != document.diskStamp() &&
        indexOf(document))
        checkDisk(document);
    return &document;
}

EditorDocument& EditorWindowController::newDocument(std::u16string text) {
    auto created = std::make_unique<EditorDocument>(QUuid::createUuid());
    EditorDocument& document = *created;
    const std::vector<EditorDocument*> all = m_workspace.documents();
    document.setUntitledNumber(
        EditorDocument::nextUntitledNumber(std::vector<const EditorDocument*>(all.begin(), all.end())));
    const bool hasText = !text.empty();
    document.setPending(EditorDocument::PendingContent::ofText(lineEnding::normalizeToLF(text)));
    installDocument(std::move(created), m_workspace.insertionIndex());
    m_workspace.broadcast(EditorEvent::Kind::documentOpened, &document);
    activate(document);
    m_textView->setFocus(Qt::OtherFocusReason);
    if (hasText)
        scheduleSave();
    return document;
}

EditorDocument& EditorWindowController::newFileDocument(const QString& standardized) {
    auto created = std::make_unique<EditorDocument>(QUuid::createUuid());
    EditorDocument& document = *created;
    document.setFileURL(standardized, std::nullopt);
    document.setPending(EditorDocument::PendingContent::ofText({}));
    EditorDocument* untouched = untouchedActiveDocument();
    installDocument(std::move(created), m_workspace.insertionIndex());
    loadPendingContent(document);
    // Unsaved until its first save creates the file, as a tab whose file went away: the
    // session keeps it, closing asks, and a file another program creates there is loaded.
    document.setMissingOnDisk(true);
    document.setDirty(true);
    document.setPersistedRevision(std::nullopt);
    document.setDirtiedByDeletionAt(document.contentRevision());
    m_workspace.broadcast(EditorEvent::Kind::documentOpened, &document);
    activate(document);
    if (untouched && indexOf(*untouched))
        closeDocument(*untouched);
    showMessage(msg::newFile(QFileInfo(standardized).fileName()), 8);
    return document;
}

void EditorWindowController::restoreDocuments(std::vector<std::unique_ptr<EditorDocument>> restored,
                                              std::size_t activeIndex) {
    std::vector<EditorDocument*> added;
    for (auto& document : restored) {
        added.push_back(document.get());
        installDocument(std::move(document), m_workspace.count());
    }
    for (EditorDocument* document : added)
        m_workspace.broadcast(EditorEvent::Kind::documentOpened, document);
    if (activeIndex < added.size())
        activate(*added[activeIndex]);
    else if (!added.empty())
        activate(*added.front());
}

void EditorWindowController::ensureDocument() {
    if (m_workspace.isEmpty())
        newDocument();
}

void EditorWindowController::installDocument(std::unique_ptr<EditorDocument> document,
                                             std::size_t index) {
    EditorDocument& installed = m_workspace.insert(std::move(document), index);
    // The document lives only while it is in the list, so its hooks need no removal.
    installed.addChangeObserver([this](EditorDocument& changed, TextRange range,
                                       std::int64_t delta) { documentTextChanged(changed, range, delta); });
    installed.setLoadHandler([this](EditorDocument& pending) { loadRequested(pending); });
    refreshTabBar();
}

void EditorWindowController::documentTextChanged(EditorDocument& document, TextRange range,
                                                 std::int64_t delta) {
    if (&document == activeDocument()) {
        refreshStatusBar();
        refreshTitle();
        m_ruler->redraw();
        scheduleWrapCheck();
    }
    refreshTabBar();
    m_workspace.broadcast(EditorEvent::textChanged(&document, range, delta));
    scheduleSave();
}

void EditorWindowController::activate(EditorDocument& document) {
    const auto index = indexOf(document);
    if (!index)
        return;
    if (static_cast<int>(*index) == m_workspace.activeIndex() && document.isLoaded() &&
        m_textView->document() == &document)
        return;
    // Leaving a tab: setDocument drops uncommitted input-method text and stores the view state
    // (selection and scroll position) in the document it leaves.
    if (m_textView->document() && m_textView->document() != &document)
        m_textView->setDocument(nullptr);
    m_workspace.setActiveIndex(*index);
    showActiveDocument();
    m_workspace.broadcast(EditorEvent::Kind::activeDocumentChanged, &document);
    flush();
    if (!indexOf(document))
        return;
    if (document.isLoaded() && document.fileURL() && !m_fileWatcher->isWatching(&document)) {
        watch(document);
        checkDisk(document);
    }
    if (document.externalChangePending()) {
        QPointer<EditorDocument> pending(&document);
        QMetaObject::invokeMethod(this, [this, pending] {
            if (pending && indexOf(*pending) && pending->externalChangePending())
                presentExternalChange();
        }, Qt::QueuedConnection);
    }
}

void EditorWindowController::showActiveDocument() {
    EditorDocument* document = activeDocument();
    m_textView->breakUndoCoalescing();
    if (!document)
        return;
    if (!document->isLoaded() && !loadInBackground(*document))
        loadPendingContent(*document);
    if (!document->isLoaded()) {
        // The content could not be loaded (or is being read in the background): nothing to
        // show or edit until it is.
        m_textView->setDocument(nullptr);
        refreshTabBar();
        refreshStatusBar();
        refreshTitle();
        return;
    }
    recomputeEffectiveWrap();
    m_showing = true;
    m_textView->setDocument(document);
    m_textView->setScrollOrigin(document->scrollOrigin());
    m_showing = false;
    m_ruler->updateThickness(false);
    m_ruler->redraw();
    refreshTabBar();
    refreshStatusBar();
    refreshTitle();
}

void EditorWindowController::loadPendingContent(EditorDocument& document) {
    loadPendingContent(document, std::nullopt);
}

void EditorWindowController::loadPendingContent(EditorDocument& document,
                                                std::optional<LineIndex> index,
                                                std::optional<DecodedText> preread) {
    if (document.isLoaded())
        return;
    const auto& fileURL = document.fileURL();
    const QString path = fileURL.value_or(QString());
    std::u16string text;
    bool keepLineBreaks = false;
    auto readFile = [&]() -> std::optional<DecodedText> {
        auto decoded = windowFiles::readDecoded(path);
        if (!decoded)
            return std::nullopt;
        return std::move(*decoded);
    };
    auto failed = [&] {
        // Keeps its pending content: a tab whose file cannot be read now is not an empty
        // document, and must not be saved over the file as one.
        showMessage(msg::fileNotFound(path), 8);
        std::fprintf(stderr, "Vendrix: dosya okunamadı: %s\n", path.toLocal8Bit().constData());
    };
    const EditorDocument::PendingContent& pending = document.pending();
    // A prebuilt index belongs to text handed over: opened, or read in the background.
    if (pending.kind != EditorDocument::PendingContent::Kind::text &&
        !(pending.kind == EditorDocument::PendingContent::Kind::file && preread) &&
        !(pending.kind == EditorDocument::PendingContent::Kind::buffer && preread))
        index.reset();
    switch (pending.kind) {
    case EditorDocument::PendingContent::Kind::text:
        text = document.takePendingText(); // setText() below clears the pending content
        keepLineBreaks = document.isReadOnly();
        break;
    case EditorDocument::PendingContent::Kind::buffer: {
        std::optional<std::u16string> buffer;
        if (preread) {
            buffer = std::move(preread->text); // read in the background, LF-only
        } else if (m_session) {
            auto read = m_session->readBuffer(pending.bufferName);
            if (read) {
                buffer = std::move(*read);
            } else if (read.error().kind == BufferReadError::Kind::unreadable) {
                // The unsaved text may still be there: neither the file nor an empty text
                // may take its place (the next session write would drop the buffer).
                showMessage(QStringLiteral("“") + document.displayName() +
                                QStringLiteral("” sekmesinin kaydedilmemiş metni okunamadı."),
                            8);
                std::fprintf(stderr, "Vendrix: oturum tamponu okunamadı: %s: %s\n",
                             pending.bufferName.c_str(), std::strerror(read.error().errnoValue));
                return;
            }
        }
        if (buffer) {
            text = std::move(*buffer);
            // The unsaved text was kept while the editor was not running; if the file changed
            // meanwhile (a pull, a build), saving must not overwrite it without asking. The
            // stamp from the session stays, so the external-change prompt sees the difference.
            if (fileURL && document.diskStamp()) {
                const std::optional<DiskStamp> now = DiskStamp::of(path);
                if (now && now != document.diskStamp())
                    document.setExternalChangePending(true);
            }
        } else if (fileURL) {
            if (auto decoded = readFile()) {
                text = std::move(decoded->text);
                keepLineBreaks = decoded->isBinary;
            } else if (windowFiles::exists(path)) {
                failed();
                return;
            }
        }
        break;
    }
    case EditorDocument::PendingContent::Kind::file:
        if (fileURL) {
            auto decoded = preread ? std::move(preread) : readFile();
            if (!decoded) {
                failed();
                return;
            }
            document.setEncoding(decoded->encoding);
            document.setLineEnding(decoded->lineEnding);
            document.setReadOnly(decoded->isBinary);
            document.setDiskStamp(DiskStamp::of(path));
            keepLineBreaks = decoded->isBinary;
            text = std::move(decoded->text);
        }
        break;
    case EditorDocument::PendingContent::Kind::empty:
        break;
    }
    if (index) // decoded text, already LF-only where it may be (or binary, kept as is)
        document.setText(std::move(text), std::move(*index));
    else
        document.setText(std::move(text), keepLineBreaks);
    if (!fileURL)
        document.setDirty(document.length() != 0);
    if (document.lineIndex().hasLineLongerThan(99'999))
        showMessage(msg::longLine(document.lineIndex().longestLineLength()), 12);
    if (fileURL && !document.diskStamp())
        document.setDiskStamp(DiskStamp::of(path));
    watch(document);
    m_workspace.broadcast(EditorEvent::Kind::documentLoaded, &document);
}

} // namespace vendrix::app
