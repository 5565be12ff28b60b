#pragma once

#include "app/session/SessionTimer.h"
#include "app/workspace/SessionLink.h"
#include "core/common/WorkQueue.h"
#include "core/persistence/SessionStore.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vendrix::app {

class EditorDocument;
class Workspace;

/// Keeps the session on disk: turns change notifications into debounced write passes (a quiet
/// second after the last change, never more than five seconds after the first), writes them
/// on one serial background queue, and reports failures and retries them.
///
/// A pass never reads a live document off the main thread: the main thread takes the tab
/// records and a snapshot of each changed unsaved text; encoding and writing run on the
/// queue. Passes never overlap. The snapshots are chunked copies that the storage keeps
/// between passes while typing goes on, so a pass copies only the chunks that changed; when
/// more than a couple of megabytes must be copied (the first pass over a large text), an
/// asynchronous flush copies them a millisecond per event-loop turn and captures the pass
/// when they are current. The copies are dropped after a pass when no change is pending. The document's session bookkeeping (persistedRevision,
/// bufferOnDisk) is updated optimistically before the write and rolled back when it fails.
/// It writes the documents of the workspace it observes (in tab order, and the active one)
/// and serves the window's flows as their SessionLink.
/// Main thread only, except for the pass itself.
class SessionController final : public QObject, public SessionLink {
    Q_OBJECT

public:
    /// The documents in tab order and the active one (or null).
    struct Snapshot {
        std::vector<EditorDocument*> docs;
        EditorDocument* selected = nullptr;
    };

    static constexpr std::chrono::milliseconds quietDelay{1000};
    static constexpr std::chrono::milliseconds maximumDelay{5000};
    static constexpr std::chrono::milliseconds retryDelay{5000};
    static constexpr int failureStatusSeconds = 4;
    static inline const QString failureStatusText = QStringLiteral("Oturum kaydedilemedi");
    static constexpr const char* queueLabel = "com.korpla.vendrix.session";

    /// Takes the store (prepared, locked and loaded by the caller). Without a timer the real
    /// clock and a QTimer are used.
    explicit SessionController(std::unique_ptr<SessionStore> store,
                               std::unique_ptr<SessionTimer> timer = nullptr,
                               QObject* parent = nullptr);
    /// Waits for the passes already queued; does not write on its own.
    ~SessionController() override;

    SessionStore& store() { return *m_store; }

    /// Writes the documents of `workspace` (which outlives the controller, or is observed
    /// no more before it goes); none: nothing is written.
    void observe(const Workspace* workspace) { m_workspace = workspace; }

    /// The session's content changed: arm the write timer.
    void scheduleSave() override;
    /// Writes the session now. Asynchronously (the pass runs on the queue; its outcome is
    /// handled later on the main thread), or synchronously: waits for this pass and every
    /// earlier one and returns the error text when this pass failed.
    std::optional<QString> flush(bool synchronously) override;
    /// Blocks until every queued pass has finished.
    void drain();
    /// The main-thread time one step of copying a large changed text may take before it
    /// lets events through (about a millisecond; zero copies one chunk per step).
    void setPreparationStepTime(std::chrono::microseconds time) { m_stepTime = time; }

    /// The text of a session buffer, read on the calling thread. `unreadable` (as opposed to
    /// `missing`) means the text may exist: keep the tab pending rather than empty.
    [[nodiscard]] std::expected<std::u16string, BufferReadError>
    readBuffer(const std::string& name) const override {
        return m_store->readBuffer(name);
    }
    /// Where the buffer files are (see SessionStore::readBufferIn).
    [[nodiscard]] std::filesystem::path buffersDirectory() const override {
        return m_store->buffersURL();
    }

    int saveCount() const { return m_saveCount; }
    const std::optional<QString>& lastError() const { return m_lastError; }
    std::optional<SessionTimer::TimePoint> lastSavedAt() const { return m_lastSavedAt; }
    std::optional<SessionTimer::TimePoint> firstPendingAt() const { return m_firstPendingAt; }
    bool isTimerPending() const { return m_timer->isActive(); }

    /// "operation path: reason", the wording of a store failure in messages.
    static QString describe(const SessionStoreError& error);

signals:
    /// A pass failed: its error text.
    void failed(const QString& error);
    /// A transient status-bar message for a number of seconds.
    void statusMessage(const QString& text, int seconds);

private:
    /// A buffer this pass writes, for the rollback when the pass fails.
    struct WrittenBuffer {
        QPointer<EditorDocument> document;
        std::int64_t revision = 0;
        std::string name;
    };
    struct Pass;

    /// Units of the texts this pass would write that are not copied yet.
    static std::int64_t staleUnits(const Snapshot& snapshot);
    void schedulePreparationStep();
    void prepareStep();
    /// Takes the records and copies and queues the pass (the flush proper).
    std::optional<QString> capture(const Snapshot& snapshot, bool synchronously);
    void rememberCache(EditorDocument* document);
    /// Frees the chunk copies kept for the passes.
    void releaseCaches();
    static std::optional<QString> run(SessionStore& store, const Pass& pass);
    void complete(const std::optional<QString>& outcome, const std::vector<WrittenBuffer>& written);

    /// The documents to write and the active one; none without a workspace.
    std::optional<Snapshot> currentSnapshot() const;

    std::unique_ptr<SessionStore> m_store;
    const Workspace* m_workspace = nullptr;
    std::unique_ptr<SessionTimer> m_timer;
    std::optional<SessionTimer::TimePoint> m_firstPendingAt;
    int m_saveCount = 0;
    std::optional<QString> m_lastError;
    std::optional<SessionTimer::TimePoint> m_lastSavedAt;
    // A large changed text is copied a step per event-loop turn before its pass is captured.
    std::optional<std::chrono::steady_clock::time_point> m_preparingSince;
    std::uint64_t m_preparationStep = 0; // a posted step runs only while this is unchanged
    std::chrono::microseconds m_stepTime{1000};
    // True while the queue is faulting in memory for the preparation under way.
    std::shared_ptr<std::atomic<bool>> m_reserving;
    // Documents whose storage keeps chunk copies for the passes.
    std::vector<QPointer<EditorDocument>> m_cachingDocuments;
    // Last: destroyed first, so no pass outlives the store.
    std::unique_ptr<WorkQueue> m_queue;
};

} // namespace vendrix::app
