#include "app/platform/FileWatcher.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <fstream>

namespace vendrix::app {

namespace {

constexpr std::uint32_t kMask = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF |
                                IN_MOVE_SELF;
constexpr std::uint32_t kGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

std::optional<std::int64_t> kernelWatchLimit() {
    std::ifstream file("/proc/sys/fs/inotify/max_user_watches");
    std::int64_t value = 0;
    if (file >> value && value > 0)
        return value;
    return std::nullopt;
}

/// The regular file at `path` (links followed): its device and inode.
std::optional<std::pair<dev_t, ino_t>> regularFile(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return std::pair{info.st_dev, info.st_ino};
}

} // namespace

std::int64_t FileWatcher::budget(std::optional<std::int64_t> limit) {
    if (!limit)
        return 64;
    if (*limit < 216)
        return 16;
    if (*limit > 4295)
        return 4096;
    return *limit - 200;
}

FileWatcher::FileWatcher(std::optional<std::int64_t> watchLimit, QObject* parent)
    : QObject(parent), m_budget(budget(watchLimit ? watchLimit : kernelWatchLimit())) {
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &FileWatcher::readEvents);
    }
}

FileWatcher::~FileWatcher() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd); // drops every watch with it
}

std::int64_t FileWatcher::liveCount() const {
    std::int64_t count = 0;
    for (const auto& [key, entry] : m_entries)
        count += entry.wd >= 0 ? 1 : 0;
    return count;
}

bool FileWatcher::isWatching(Key key) const {
    const auto found = m_entries.find(key);
    return found != m_entries.end() && found->second.wd >= 0;
}

bool FileWatcher::identityChanged(const Entry& entry) const {
    const auto now = regularFile(entry.path);
    return !now || now->first != entry.device || now->second != entry.inode;
}

void FileWatcher::watch(Key key, const QString& path, std::function<void()> handler) {
    if (auto found = m_entries.find(key); found != m_entries.end() &&
                                          found->second.path == path && found->second.wd >= 0) {
        Entry& entry = found->second;
        entry.handler = std::move(handler);
        // Our own rename-over save leaves the watch on the old inode: follow the path.
        if (identityChanged(entry)) {
            disarm(entry);
            arm(key, entry);
        }
        return;
    }
    unwatch(key);
    Entry& entry = m_entries[key];
    entry.path = path;
    entry.handler = std::move(handler);
    arm(key, entry);
}

void FileWatcher::unwatch(Key key) {
    const auto found = m_entries.find(key);
    if (found == m_entries.end())
        return;
    disarm(found->second);
    m_entries.erase(found);
    m_pending.erase(key);
}

bool FileWatcher::arm(Key key, Entry& entry) {
    entry.generation = ++m_generation;
    if (m_fd < 0 || liveCount() >= m_budget)
        return false;
    const auto identity = regularFile(entry.path);
    if (!identity)
        return false;
    const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(entry.path).constData(),
                                       kMask);
    if (wd < 0)
        return false; // ENOSPC (the kernel's limit), EACCES, ENOENT: not watched
    // The file may have been swapped between stat and add: take the identity of what is
    // watched now; a later event compares against it.
    const auto watched = regularFile(entry.path);
    entry.wd = wd;
    entry.device = watched ? watched->first : identity->first;
    entry.inode = watched ? watched->second : identity->second;
    m_keysByWatch[wd].insert(key);
    return true;
}

void FileWatcher::disarm(Entry& entry) {
    ++entry.generation;
    if (entry.wd < 0)
        return;
    // Several keys may share a watch (the kernel gives one per inode).
    auto users = m_keysByWatch.find(entry.wd);
    if (users != m_keysByWatch.end()) {
        for (auto it = users->second.begin(); it != users->second.end();)
            it = m_entries.contains(*it) && &m_entries.at(*it) == &entry ? users->second.erase(it)
                                                                         : std::next(it);
        if (users->second.empty()) {
            ::inotify_rm_watch(m_fd, entry.wd);
            m_keysByWatch.erase(users);
        }
    }
    entry.wd = -1;
}

void FileWatcher::rearm(Key key, int attempt) {
    const auto found = m_entries.find(key);
    if (found == m_entries.end())
        return;
    Entry& entry = found->second;
    disarm(entry);
    entry.attempt = attempt;
    const std::uint64_t generation = entry.generation;
    const int delay = attempt < fastAttempts ? rearmFastMilliseconds : rearmSlowMilliseconds;
    QTimer::singleShot(delay, this, [this, key, generation] {
        const auto again = m_entries.find(key);
        if (again == m_entries.end() || again->second.generation != generation ||
            again->second.wd >= 0)
            return;
        if (arm(key, again->second))
            schedule(key);
        else
            rearm(key, again->second.attempt + 1);
    });
}

void FileWatcher::schedule(Key key) {
    if (!m_pending.insert(key).second)
        return;
    QTimer::singleShot(coalesceMilliseconds, this, [this, key] {
        if (m_pending.erase(key) == 0)
            return;
        const auto found = m_entries.find(key);
        if (found != m_entries.end() && found->second.handler) {
            auto handler = found->second.handler; // the handler may unwatch the key
            handler();
        }
    });
}

void FileWatcher::readEvents() {
    alignas(inotify_event) std::array<char, 16384> buffer{};
    std::map<int, std::uint32_t> masks;
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            masks[event->wd] |= event->mask;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    for (const auto& [wd, mask] : masks) {
        const auto users = m_keysByWatch.find(wd);
        if (users == m_keysByWatch.end())
            continue;
        const std::set<Key> keys = users->second;
        if (mask & IN_IGNORED)
            m_keysByWatch.erase(wd); // the kernel dropped this watch already
        for (Key key : keys) {
            const auto found = m_entries.find(key);
            if (found == m_entries.end() || found->second.wd != wd)
                continue;
            if (mask & IN_IGNORED)
                found->second.wd = -1;
            if ((mask & kGone) || identityChanged(found->second))
                rearm(key, 0);
            schedule(key);
        }
    }
}

} // namespace vendrix::app
