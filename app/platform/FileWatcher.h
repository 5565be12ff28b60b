#pragma once

#include <QObject>
#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

class QSocketNotifier;
class QTimer;

namespace vendrix::app {

/// Watches files for the editor with one inotify descriptor and turns their events into one
/// notification per key, 0.25 s after the first event of a burst.
///
/// A file that is deleted or replaced (renamed over, as atomic saves do) is re-armed on the
/// path: every 0.3 s for ten attempts, then every 2 s, until a regular file is there again,
/// which notifies once. inotify follows the inode, so every event and every watch() compares
/// the path's device and inode with the watched ones and re-arms when they differ. Only
/// regular files are watched. The number of live watches is limited by the budget below,
/// derived from the kernel's per-user watch limit; a file beyond it is simply not watched.
/// Main thread only.
class FileWatcher final : public QObject {
    Q_OBJECT

public:
    using Key = const void*;
    static constexpr int coalesceMilliseconds = 250;
    static constexpr int rearmFastMilliseconds = 300;
    static constexpr int rearmSlowMilliseconds = 2000;
    static constexpr int fastAttempts = 10;

    /// `watchLimit`: the kernel's limit on watches (none: read it from
    /// /proc/sys/fs/inotify/max_user_watches).
    explicit FileWatcher(std::optional<std::int64_t> watchLimit = std::nullopt,
                         QObject* parent = nullptr);
    ~FileWatcher() override;

    /// The most files watched at once for a limit (none: unknown).
    static std::int64_t budget(std::optional<std::int64_t> limit);

    /// Starts or refreshes watching `path` for `key`; `handler` runs on a change.
    void watch(Key key, const QString& path, std::function<void()> handler);
    void unwatch(Key key);
    /// True when the key has a live watch.
    bool isWatching(Key key) const;
    /// Live watches now.
    std::int64_t liveCount() const;
    std::int64_t budget() const { return m_budget; }
    /// Whether the inotify descriptor could be created.
    bool isAvailable() const { return m_fd >= 0; }

private:
    struct Entry {
        QString path;
        std::function<void()> handler;
        int wd = -1;
        dev_t device = 0;
        ino_t inode = 0;
        int attempt = 0;
        std::uint64_t generation = 0;
    };

    bool arm(Key key, Entry& entry);
    void disarm(Entry& entry);
    void rearm(Key key, int attempt);
    void schedule(Key key);
    void readEvents();
    bool identityChanged(const Entry& entry) const;

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::int64_t m_budget;
    std::map<Key, Entry> m_entries;
    std::map<int, std::set<Key>> m_keysByWatch;
    std::set<Key> m_pending;
    std::uint64_t m_generation = 0;
};

} // namespace vendrix::app
