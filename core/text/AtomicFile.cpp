#include "core/text/AtomicFile.h"

#include "core/common/Uuid.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix {

namespace AtomicFile {

namespace {

/// When this process started, as near as static initialisation gets; temporary files last
/// modified before it cannot belong to a write of this process.
const timespec processStart = [] {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

bool olderThanProcess(const timespec& time) {
    return time.tv_sec < processStart.tv_sec ||
           (time.tv_sec == processStart.tv_sec && time.tv_nsec < processStart.tv_nsec);
}

std::string directoryOf(const std::filesystem::path& path) {
    std::string dir = path.parent_path().string();
    return dir.empty() ? "." : dir;
}

/// Sweeps each directory once per process, at its first write.
void sweepOnce(const std::string& directory) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(directory).second)
            return;
    }
    removeStaleTemporaries(directory);
}

/// Flushes the directory that holds `path`, so the rename itself is on stable storage.
/// Best effort: some file systems refuse fsync on directories, and the data is already safe.
void syncDirectory(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    while (::fsync(fd) != 0 && errno == EINTR) {
    }
    ::close(fd);
}

/// Writes all of `data`; errno on failure.
bool writeAll(int fd, std::string_view data) {
    const char* bytes = data.data();
    size_t remaining = data.size();
    while (remaining > 0) {
        ssize_t written = ::write(fd, bytes, remaining);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        remaining -= static_cast<size_t>(written);
    }
    return true;
}

/// Gives the nameless file `fd` the name `tempPath`.
bool linkNameless(int fd, const std::string& tempPath) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, tempPath.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    const int procError = errno;
    // Without /proc, AT_EMPTY_PATH does the same for a privileged process.
    if (::linkat(fd, "", AT_FDCWD, tempPath.c_str(), AT_EMPTY_PATH) == 0)
        return true;
    errno = procError;
    return false;
}

} // namespace

bool isTemporaryName(std::string_view name) {
    constexpr std::string_view suffix = ".tmp";
    constexpr size_t uuidLength = 36;
    // "." NAME "." UUID ".tmp" with NAME at least one character long.
    if (name.size() < 1 + 1 + 1 + uuidLength + suffix.size() || name[0] != '.' ||
        !name.ends_with(suffix))
        return false;
    std::string_view uuid = name.substr(name.size() - suffix.size() - uuidLength, uuidLength);
    if (name[name.size() - suffix.size() - uuidLength - 1] != '.')
        return false;
    for (size_t i = 0; i < uuidLength; ++i) {
        const char c = uuid[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

std::size_t removeStaleTemporaries(const std::filesystem::path& directory) {
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir)
        return 0;
    const int dirFd = ::dirfd(dir);
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!isTemporaryName(name))
            continue;
        const int fd =
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {}, named {};
        // A live writer holds the lock until its file is renamed or removed.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_nlink == 1 &&
            opened.st_uid == ::geteuid() && olderThanProcess(opened.st_mtim) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == opened.st_ino && named.st_dev == opened.st_dev &&
            ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

namespace {

struct Target {
    const BlockSource& contents;
    std::string path;
    std::string dir;
    std::string tempPath;
    mode_t mode;
    std::optional<AtomicFileOwner> owner;
    const Fault& fault;

    /// Runs `call` unless the test seam injects a failure for `operation`; errno holds the
    /// failure either way.
    template <typename Call> auto guarded(std::string_view operation, Call call) const {
        if (fault) {
            if (int injected = fault(operation)) {
                errno = injected;
                return decltype(call())(-1);
            }
        }
        return call();
    }
};

/// One attempt at the replacement, through a nameless temporary file or a named one. A
/// nameless attempt the system cannot do fails with operation "nameless".
std::expected<void, AtomicFileError> replace(const Target& target, bool nameless) {
    bool named = !nameless;
    int fd = target.guarded("open", [&] {
        return nameless ? ::open(target.dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, target.mode)
                        : ::open(target.tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                 target.mode);
    });
    if (fd < 0) {
        const int error = errno;
        const bool unsupported = error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
        return std::unexpected(
            AtomicFileError{nameless && unsupported ? "nameless" : "open", target.tempPath, error});
    }
    // Held until the file is closed: tells a sweeping process that this file is alive.
    (void)::flock(fd, LOCK_EX | LOCK_NB);

    auto failAfterOpen = [&](const char* operation, const std::string& errorPath, int error) {
        ::close(fd);
        if (named)
            ::unlink(target.tempPath.c_str());
        return std::unexpected(AtomicFileError{operation, errorPath, error});
    };

    int writeError = 0;
    const bool written = target.contents([&](std::string_view block) {
        if (target.guarded("write", [&] { return writeAll(fd, block) ? 0 : -1; }) == 0)
            return true;
        writeError = errno;
        return false;
    });
    if (!written)
        return failAfterOpen("write", target.tempPath, writeError != 0 ? writeError : EIO);

    // Where not permitted, the owner stays (and perhaps the group); the mode is set after,
    // because a change of owner clears the set-user-ID and set-group-ID bits.
    const auto& owner = target.owner;
    if (owner && ::fchown(fd, owner->uid, owner->gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), owner->gid);
    // The umask may have narrowed the creation mode; the result does not matter.
    (void)::fchmod(fd, target.mode);

    int syncResult;
    do {
        syncResult = target.guarded("fsync", [&] { return ::fsync(fd); });
    } while (syncResult != 0 && errno == EINTR);
    if (syncResult != 0)
        return failAfterOpen("fsync", target.tempPath, errno);

    if (!named) {
        if (!linkNameless(fd, target.tempPath))
            return failAfterOpen("nameless", target.tempPath, errno);
        named = true;
    }
    // The lock stays until the rename is done, so the named file is never taken for litter.
    if (target.guarded("rename",
                       [&] { return ::rename(target.tempPath.c_str(), target.path.c_str()); }) != 0)
        return failAfterOpen("rename", target.path, errno);
    ::close(fd);

    syncDirectory(target.dir);
    return {};
}

} // namespace

std::expected<void, AtomicFileError> write(std::string_view data, const std::filesystem::path& path,
                                           unsigned permissions,
                                           std::optional<AtomicFileOwner> owner,
                                           const Fault& fault) {
    return write([data](const BlockSink& sink) { return sink(data); }, path, permissions, owner,
                 fault);
}

std::expected<void, AtomicFileError> write(const BlockSource& contents,
                                           const std::filesystem::path& path, unsigned permissions,
                                           std::optional<AtomicFileOwner> owner,
                                           const Fault& fault) {
    Target target{.contents = contents,
                  .path = path.string(),
                  .dir = directoryOf(path),
                  .tempPath = {},
                  .mode = static_cast<mode_t>(permissions),
                  .owner = owner,
                  .fault = fault};
    target.tempPath = target.dir + "/." + path.filename().string() + "." +
                      Uuid::random().uuidString() + ".tmp";
    sweepOnce(target.dir);
    auto result = replace(target, true);
    if (!result && result.error().operation == "nameless")
        result = replace(target, false);
    return result;
}

} // namespace AtomicFile
} // namespace vendrix
