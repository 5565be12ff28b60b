#include "app/session/SessionController.h"

#include "app/document/EditorDocument.h"
#include "app/workspace/Workspace.h"
#include "core/text/ChunkMemory.h"
#include "core/text/TextChunkCache.h"
#include "core/text/TextStorage.h"

#include <QMetaObject>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <future>
#include <utility>

namespace vendrix::app {

namespace {

/// Stale units a flush copies on the spot: two chunks, well under a millisecond.
constexpr std::int64_t immediateCopyUnits = 2 * TextChunkCache::defaultChunkUnits;
/// A preparation outrun by the edits (something rewrites large parts of a text on every
/// turn) captures what is there after this long rather than never.
constexpr std::chrono::seconds preparationLimit{2};

/// True when the pass must write `document`'s text: an unsaved, loaded text whose buffer
/// does not hold its current revision.
bool bufferIsStale(const EditorDocument& document) {
    return document.isLoaded() && document.isDirty() && !document.isReadOnly() &&
           !(document.persistedRevision() == document.contentRevision() &&
             document.bufferOnDisk() == document.bufferFileName());
}

} // namespace

/// Everything one write pass needs, captured on the main thread: the buffers to write (as
/// immutable snapshots), the session state and the buffer names to keep.
struct SessionController::Pass {
    std::vector<std::pair<std::string, TextChunkSnapshot>> buffers;
    /// A synchronous pass reads the documents' texts in place: the main thread waits for it,
    /// so nothing changes them meanwhile, and a quit copies nothing before writing.
    std::vector<std::pair<std::string, const TextSource*>> liveBuffers;
    SessionState state;
    std::set<std::string> keep;
};

SessionController::SessionController(std::unique_ptr<SessionStore> store,
                                     std::unique_ptr<SessionTimer> timer, QObject* parent)
    : QObject(parent), m_store(std::move(store)),
      m_timer(timer ? std::move(timer) : std::make_unique<QtSessionTimer>()),
      m_queue(std::make_unique<WorkQueue>(queueLabel, 1)) {}

SessionController::~SessionController() {
    m_timer->stop();
    if (m_preparingSince) // a preparation never captured: its reserved memory goes
        m_queue->async([] { ChunkMemory::releaseReserve(); });
    drain();
}

QString SessionController::describe(const SessionStoreError& error) {
    QString text = QString::fromStdString(error.operation);
    if (!error.path.empty())
        text += QLatin1Char(' ') + QString::fromStdString(error.path);
    if (error.errnoValue != 0)
        text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error.errnoValue));
    return text;
}

void SessionController::scheduleSave() {
    const auto now = m_timer->now();
    if (!m_firstPendingAt)
        m_firstPendingAt = now;
    const auto fireAt = std::min(now + quietDelay, *m_firstPendingAt + maximumDelay);
    const auto delay = std::chrono::ceil<std::chrono::milliseconds>(fireAt - now);
    m_timer->start(std::max(delay, std::chrono::milliseconds(0)), [this] { flush(false); });
}

std::optional<SessionController::Snapshot> SessionController::currentSnapshot() const {
    if (!m_workspace)
        return std::nullopt;
    return Snapshot{m_workspace->documents(), m_workspace->active()};
}

std::optional<QString> SessionController::flush(bool synchronously) {
    m_timer->stop();
    m_firstPendingAt.reset();
    const std::optional<Snapshot> current = currentSnapshot();
    if (!current)
        return std::nullopt;
    const Snapshot& snapshot = *current;
    if (!synchronously && staleUnits(snapshot) > immediateCopyUnits) {
        // Copying the changed texts now would stall typing: copy them over the next few
        // event-loop turns, then capture. A preparation already under way serves this call.
        if (!m_preparingSince) {
            m_preparingSince = std::chrono::steady_clock::now();
            // Faulting in fresh memory costs several times the copy: the queue does that
            // meanwhile, and the main thread only copies into what it has ready.
            const auto blocks = static_cast<std::size_t>(staleUnits(snapshot) / TextChunkCache::defaultChunkUnits);
            auto reserving = std::make_shared<std::atomic<bool>>(false);
            m_reserving = reserving;
            m_queue->async([blocks, reserving] {
                reserving->store(true);
                ChunkMemory::reserve(blocks, TextChunkCache::defaultChunkUnits);
                reserving->store(false);
            });
            schedulePreparationStep();
        }
        return std::nullopt;
    }
    return capture(snapshot, synchronously);
}

std::int64_t SessionController::staleUnits(const Snapshot& snapshot) {
    std::int64_t stale = 0;
    for (EditorDocument* document : snapshot.docs)
        if (bufferIsStale(*document))
            stale += document->storage()->staleChunkUnits();
    return stale;
}

void SessionController::schedulePreparationStep() {
    QTimer::singleShot(0, this, [this, step = m_preparationStep] {
        if (step == m_preparationStep && m_preparingSince)
            prepareStep();
    });
}

void SessionController::prepareStep() {
    const std::optional<Snapshot> taken = currentSnapshot();
    if (!taken) {
        m_preparingSince.reset();
        return;
    }
    const Snapshot& snapshot = *taken;
    const auto start = std::chrono::steady_clock::now();
    bool current = true;
    for (EditorDocument* document : snapshot.docs) {
        if (!bufferIsStale(*document))
            continue;
        rememberCache(document);
        // One chunk at a time, until the step's time is used up or the queue, busy faulting
        // in memory, has none ready yet (a queue still busy with a pass is not waited for).
        while (!document->storage()->prepareChunks(TextChunkCache::defaultChunkUnits)) {
            const bool waitForMemory = m_reserving && m_reserving->load() && ChunkMemory::reservedBlocks() == 0;
            if (waitForMemory || std::chrono::steady_clock::now() - start >= m_stepTime) {
                current = false;
                break;
            }
        }
        if (!current)
            break;
    }
    if (current || std::chrono::steady_clock::now() - *m_preparingSince >= preparationLimit) {
        m_timer->stop();
        m_firstPendingAt.reset();
        (void)capture(snapshot, false);
    } else {
        schedulePreparationStep();
    }
}

void SessionController::rememberCache(EditorDocument* document) {
    for (const QPointer<EditorDocument>& known : m_cachingDocuments)
        if (known == document)
            return;
    std::erase_if(m_cachingDocuments, [](const QPointer<EditorDocument>& known) { return !known; });
    m_cachingDocuments.emplace_back(document);
    document->holdChunks();
}

void SessionController::releaseCaches() {
    for (const QPointer<EditorDocument>& document : m_cachingDocuments)
        if (document)
            document->releaseChunks(); // a save preparing or writing keeps them
    m_cachingDocuments.clear();
}

std::optional<QString> SessionController::capture(const Snapshot& snapshot, bool synchronously) {
    // Whatever preparation was under way is served by this capture; the memory it reserved
    // and did not use goes back (on the queue, before the pass).
    if (m_preparingSince)
        m_queue->async([] { ChunkMemory::releaseReserve(); });
    m_preparingSince.reset();
    ++m_preparationStep;

    auto pass = std::make_shared<Pass>();
    std::vector<WrittenBuffer> written;
    std::vector<SessionTab> tabs;
    tabs.reserve(snapshot.docs.size());
    for (EditorDocument* document : snapshot.docs) {
        SessionTab record = document->sessionRecord();
        if (record.bufferFile && document->isLoaded()) {
            const bool current = document->persistedRevision() == document->contentRevision() &&
                                 document->bufferOnDisk() == record.bufferFile;
            if (!current) {
                if (synchronously) {
                    pass->liveBuffers.emplace_back(*record.bufferFile, document->storage());
                } else {
                    // Shares every chunk that did not change since the last pass.
                    rememberCache(document);
                    pass->buffers.emplace_back(*record.bufferFile, document->storage()->chunkSnapshot());
                }
                written.push_back({document, document->contentRevision(), *record.bufferFile});
            }
        }
        if (record.bufferFile)
            pass->keep.insert(*record.bufferFile);
        // Text still waiting in a buffer is kept whatever the record says: the buffer may be
        // the only copy (a tab whose buffer could not be read stays pending).
        if (!document->isLoaded() &&
            document->pending().kind == EditorDocument::PendingContent::Kind::buffer)
            pass->keep.insert(document->pending().bufferName);
        tabs.push_back(std::move(record));
    }
    std::optional<Uuid> selectedID;
    if (snapshot.selected)
        selectedID = toCoreUuid(snapshot.selected->id());
    pass->state = SessionState(std::move(tabs), selectedID);

    // Optimistic bookkeeping: a change made while the pass runs compares against what is
    // being written, and a failure rolls it back.
    for (const WrittenBuffer& buffer : written) {
        buffer.document->setPersistedRevision(buffer.revision);
        buffer.document->setBufferOnDisk(buffer.name);
    }
    for (EditorDocument* document : snapshot.docs) {
        if (document->isReadOnly() || !document->isDirty()) {
            document->setPersistedRevision(std::nullopt);
            document->setBufferOnDisk(std::nullopt);
        }
    }

    SessionStore* store = m_store.get();
    if (synchronously) {
        std::optional<QString> outcome;
        std::promise<void> done;
        m_queue->async([&] {
            outcome = run(*store, *pass);
            done.set_value();
        });
        done.get_future().wait();
        complete(outcome, written);
        return outcome;
    }
    QPointer<SessionController> self(this);
    m_queue->async([self, store, pass, written = std::move(written)]() mutable {
        std::optional<QString> outcome = run(*store, *pass);
        // Posted to the controller's (main) thread; dropped if the controller is gone.
        QMetaObject::invokeMethod(
            self.data(),
            [self, outcome = std::move(outcome), written = std::move(written)] {
                if (self)
                    self->complete(outcome, written);
            },
            Qt::QueuedConnection);
    });
    return std::nullopt;
}

void SessionController::drain() {
    std::promise<void> done;
    m_queue->async([&] { done.set_value(); });
    done.get_future().wait();
}

std::optional<QString> SessionController::run(SessionStore& store, const Pass& pass) {
    for (const auto& [name, text] : pass.buffers)
        if (auto written = store.writeBuffer(text, name); !written)
            return describe(written.error());
    for (const auto& [name, text] : pass.liveBuffers)
        if (auto written = store.writeBuffer(*text, name); !written)
            return describe(written.error());
    if (auto written = store.writeSession(pass.state); !written)
        return describe(written.error());
    (void)store.pruneBuffers(pass.keep);
    return std::nullopt;
}

void SessionController::complete(const std::optional<QString>& outcome,
                                 const std::vector<WrittenBuffer>& written) {
    ++m_saveCount;
    m_lastSavedAt = m_timer->now();
    m_lastError = outcome;
    // Typing goes on (a pass is pending or being prepared): the next pass copies only what
    // changed. Otherwise the copies are not worth their memory until the next change.
    if (!m_timer->isActive() && !m_preparingSince)
        releaseCaches();
    if (!outcome)
        return;
    for (const WrittenBuffer& buffer : written)
        if (buffer.document)
            buffer.document->setPersistedRevision(std::nullopt);
    if (!m_timer->isActive())
        m_timer->start(retryDelay, [this] { flush(false); });
    emit statusMessage(failureStatusText, failureStatusSeconds);
    emit failed(*outcome);
    const QByteArray line = QStringLiteral("Vendrix: oturum yazılamadı: %1\n").arg(*outcome).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace vendrix::app
