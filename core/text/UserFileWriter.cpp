#include "core/text/UserFileWriter.h"

#include "core/common/Uuid.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <optional>
#include <vector>

namespace vendrix {
namespace UserFileWriter {

namespace {

namespace fs = std::filesystem;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    /// Closes and reports close()'s own failure (an NFS server may report a lost write here).
    int close() {
        int fd = m_fd;
        m_fd = -1;
        return fd >= 0 ? ::close(fd) : 0;
    }

private:
    int m_fd;
};

/// Runs `call` unless the test seam injects a failure for `operation`; errno holds the
/// failure either way.
template <typename Call>
auto guarded(const UserFileWriteOptions& options, std::string_view operation, Call call)
    -> decltype(call()) {
    if (options.fault) {
        if (int injected = options.fault(operation)) {
            errno = injected;
            return -1;
        }
    }
    return call();
}

UserFileError notRegular(const std::string& path, const struct stat& info) {
    return UserFileError{UserFileErrorKind::notRegularFile, "stat", path,
                         S_ISDIR(info.st_mode) ? EISDIR : EINVAL};
}

/// Writes every byte at `offset`; EINTR is retried, a write that makes no progress is EIO.
int writeAt(int fd, std::string_view bytes, off_t offset, const UserFileWriteOptions& options) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t count = guarded(options, "write", [&] {
            return ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                            offset + static_cast<off_t>(done));
        });
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (count == 0)
            return EIO;
        done += static_cast<std::size_t>(count);
    }
    return 0;
}

UserFileError cancelledError(std::string_view operation, const std::string& path) {
    return UserFileError{UserFileErrorKind::cancelled, std::string(operation), path, ECANCELED};
}

bool isCancelled(const UserFileWriteOptions& options) {
    return options.cancelled && options.cancelled();
}

/// The sink that writes a content's pieces one after the other into a file from offset 0,
/// starting the write-back of every few megabytes at once so that the final fsync finds most
/// of the data already on its way to the disk.
class PieceWriter {
public:
    static constexpr off_t writebackStep = off_t{8} << 20;

    PieceWriter(int fd, const UserFileWriteOptions& options, bool mayCancel)
        : m_fd(fd), m_options(options), m_mayCancel(mayCancel) {}

    bool operator()(std::string_view piece) {
        if (m_mayCancel && isCancelled(m_options)) {
            m_cancelled = true;
            return false;
        }
        if ((m_error = writeAt(m_fd, piece, m_offset, m_options)) != 0)
            return false;
        m_offset += static_cast<off_t>(piece.size());
        if (m_offset - m_startedTo >= writebackStep) {
            (void)::sync_file_range(m_fd, m_startedTo, m_offset - m_startedTo,
                                    SYNC_FILE_RANGE_WRITE);
            m_startedTo = m_offset;
        }
        return true;
    }

    /// Runs the content into the file: the failure, if any, as the error to report.
    std::optional<UserFileError> run(const UserFileContent& content, const std::string& path) {
        if (content.produce([this](std::string_view piece) { return (*this)(piece); }))
            return std::nullopt;
        if (m_error != 0)
            return UserFileError::fromErrno("write", path, m_error);
        return cancelledError(m_cancelled ? "write" : "encode", path);
    }
    off_t size() const { return m_offset; }

private:
    int m_fd;
    const UserFileWriteOptions& m_options;
    bool m_mayCancel;
    off_t m_offset = 0;
    off_t m_startedTo = 0;
    int m_error = 0;
    bool m_cancelled = false;
};

int syncFile(int fd, const UserFileWriteOptions& options) {
    for (;;) {
        if (guarded(options, "fsync", [&] { return ::fsync(fd); }) == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

/// Flushes the directory entry of a completed rename. Best effort: some file systems refuse
/// fsync on directories, and the file's data is already on disk.
void syncDirectory(const fs::path& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    while (::fsync(fd) != 0 && errno == EINTR) {
    }
    ::close(fd);
}

/// Copies every extended attribute the file system lets us read and set, which carries the
/// POSIX ACLs ("system.posix_acl_access") and labels. Failures are ignored: an attribute that
/// cannot be copied is not a reason to refuse the save.
void copyExtendedAttributes(int from, int to) {
    ssize_t listSize = ::flistxattr(from, nullptr, 0);
    if (listSize <= 0)
        return;
    std::vector<char> names(static_cast<std::size_t>(listSize));
    listSize = ::flistxattr(from, names.data(), names.size());
    if (listSize <= 0)
        return;
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(listSize);) {
        const char* name = names.data() + at;
        at += std::char_traits<char>::length(name) + 1;
        ssize_t size = ::fgetxattr(from, name, nullptr, 0);
        if (size < 0)
            continue;
        value.resize(static_cast<std::size_t>(size));
        size = ::fgetxattr(from, name, value.data(), value.size());
        if (size >= 0)
            (void)::fsetxattr(to, name, value.data(), static_cast<std::size_t>(size), 0);
    }
}

fs::path directoryOf(const fs::path& target) {
    fs::path directory = target.parent_path();
    return directory.empty() ? fs::path(".") : directory;
}

/// ".NAME.UUID.tmp" beside the target; the name part is shortened so that the temporary
/// name stays within NAME_MAX even for a target whose own name is near it.
fs::path temporaryPathFor(const fs::path& target) {
    std::string name = target.filename().string().substr(0, 180);
    return directoryOf(target) / ("." + name + "." + Uuid::random().uuidString() + ".tmp");
}

std::expected<UserFileWriteResult, UserFileError>
writeInPlace(const UserFileContent& content, const fs::path& target, int fd,
             const UserFileWriteOptions& options) {
    const std::string name = target.string();
    // Nothing of the old file is overwritten before the whole content is known to exist
    // (it may fail to encode) and its size is known: a counting run first, which may still
    // be cancelled.
    std::uint64_t size = 0;
    bool wasCancelled = false;
    const bool complete = content.produce([&](std::string_view piece) {
        if (isCancelled(options)) {
            wasCancelled = true;
            return false;
        }
        size += piece.size();
        return true;
    });
    if (!complete)
        return std::unexpected(cancelledError(wasCancelled ? "write" : "encode", name));
    // Reserve the blocks first where the file system can, so that a full disk is found before
    // the first old byte is overwritten. Other refusals (not supported) are not errors.
    if (size > 0) {
        int reserved = guarded(options, "allocate", [&] {
            return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
        });
        if (reserved != 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
            return std::unexpected(UserFileError::fromErrno("allocate", name, errno));
    }
    PieceWriter writer(fd, options, /*mayCancel=*/false);
    if (auto failed = writer.run(content, name))
        return std::unexpected(std::move(*failed));
    if (static_cast<std::uint64_t>(writer.size()) != size) // the content changed between runs
        return std::unexpected(UserFileError::fromErrno("write", name, EIO));
    if (guarded(options, "truncate",
                [&] { return ::ftruncate(fd, static_cast<off_t>(size)); }) != 0)
        return std::unexpected(UserFileError::fromErrno("truncate", name, errno));
    if (int error = syncFile(fd, options))
        return std::unexpected(UserFileError::fromErrno("fsync", name, error));
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return std::unexpected(UserFileError::fromErrno("stat", name, errno));
    return UserFileWriteResult{target, UserFileWriteMethod::inPlace, FileStamp::fromStat(info)};
}

/// A failed atomic replacement, and whether writing in place may be tried instead (only
/// when no temporary file could be made or made to carry the target's owner).
struct AtomicFailure {
    UserFileError error;
    bool mayWriteInPlace = false;
};

std::expected<UserFileWriteResult, AtomicFailure>
writeAtomically(const UserFileContent& content, const fs::path& target, const struct stat* existing,
                int targetFD, const UserFileWriteOptions& options) {
    const fs::path tempPath = temporaryPathFor(target);
    const std::string tempName = tempPath.string();
    // A new file gets the default mode (the umask applies); a replacement starts private and
    // takes the old file's mode once its owner is set.
    const mode_t createMode = existing ? 0600 : 0666;
    Descriptor fd(guarded(options, "create", [&] {
        return ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    }));
    if (fd.get() < 0) {
        int error = errno;
        bool directoryRefused = error == EACCES || error == EPERM || error == EROFS;
        return std::unexpected(
            AtomicFailure{UserFileError::fromErrno("create", tempName, error), directoryRefused});
    }
    auto discard = [&](UserFileError error, bool mayWriteInPlace = false) {
        fd.reset();
        ::unlink(tempPath.c_str());
        return std::unexpected(AtomicFailure{std::move(error), mayWriteInPlace});
    };
    auto fail = [&](std::string_view operation, const std::string& path, int error,
                    bool mayWriteInPlace = false) {
        return discard(UserFileError::fromErrno(operation, path, error), mayWriteInPlace);
    };

    // Without the right to give the new file the old owner and group, replacing would hand
    // the user's file to us; such a file is written in place instead.
    if (existing && ::fchown(fd.get(), existing->st_uid, existing->st_gid) != 0)
        return fail("chown", tempName, errno, /*mayWriteInPlace=*/true);
    if (auto failed = PieceWriter(fd.get(), options, /*mayCancel=*/true).run(content, tempName))
        return discard(std::move(*failed));
    if (existing) {
        // After the write: writing clears set-user-ID and set-group-ID bits.
        (void)::fchmod(fd.get(), existing->st_mode & 07777);
        copyExtendedAttributes(targetFD, fd.get());
    }
    if (int error = syncFile(fd.get(), options))
        return fail("fsync", tempName, error);
    if (fd.close() != 0)
        return fail("close", tempName, errno);
    // The last moment a cancel can leave the old file in place.
    if (isCancelled(options))
        return discard(cancelledError("rename", target.string()));
    if (guarded(options, "rename", [&] { return ::rename(tempPath.c_str(), target.c_str()); }) != 0)
        return fail("rename", target.string(), errno);
    syncDirectory(directoryOf(target));

    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        return std::unexpected(
            AtomicFailure{UserFileError::fromErrno("stat", target.string(), errno)});
    return UserFileWriteResult{target, UserFileWriteMethod::atomicReplace,
                               FileStamp::fromStat(info)};
}

} // namespace

std::expected<fs::path, UserFileError> resolveTarget(const fs::path& path) {
    fs::path current = path;
    // The kernel's own limit on links followed in one lookup.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno == ENOENT)
                return current; // a new file, or a link to one not created yet
            return std::unexpected(UserFileError::fromErrno("stat", current.string(), errno));
        }
        if (!S_ISLNK(info.st_mode))
            return current;
        std::string link(PATH_MAX, '\0');
        ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length < 0)
            return std::unexpected(UserFileError::fromErrno("readlink", current.string(), errno));
        link.resize(static_cast<std::size_t>(length));
        fs::path next(link);
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return std::unexpected(UserFileError::fromErrno("readlink", path.string(), ELOOP));
}

std::expected<void, UserFileError> checkWritable(const fs::path& target) {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return {};
        return std::unexpected(UserFileError::fromErrno("stat", target.string(), errno));
    }
    if (!S_ISREG(info.st_mode))
        return std::unexpected(notRegular(target.string(), info));
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return std::unexpected(UserFileError::fromErrno("open", target.string(), errno));
    return {};
}

std::expected<UserFileWriteResult, UserFileError>
write(std::string_view bytes, const fs::path& path, const UserFileWriteOptions& options) {
    UserFileContent content{[bytes](const UserFileContent::Sink& sink) { return sink(bytes); }};
    return write(content, path, options);
}

std::expected<UserFileWriteResult, UserFileError>
write(const UserFileContent& content, const fs::path& path, const UserFileWriteOptions& options) {
    auto resolved = resolveTarget(path);
    if (!resolved)
        return std::unexpected(resolved.error());
    const fs::path& target = *resolved;
    const std::string name = target.string();

    struct stat info {};
    bool exists = ::stat(target.c_str(), &info) == 0;
    if (!exists && errno != ENOENT)
        return std::unexpected(UserFileError::fromErrno("stat", name, errno));
    if (exists && !S_ISREG(info.st_mode))
        return std::unexpected(notRegular(name, info));

    Descriptor targetFD;
    if (exists) {
        // Opening for writing is the writability check, and the descriptor serves the
        // in-place write and the copy of extended attributes. Non-blocking: the path may have
        // become a FIFO since the look above.
        targetFD.reset(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        if (targetFD.get() < 0)
            return std::unexpected(UserFileError::fromErrno("open", name, errno));
        if (::fstat(targetFD.get(), &info) != 0)
            return std::unexpected(UserFileError::fromErrno("stat", name, errno));
        if (!S_ISREG(info.st_mode))
            return std::unexpected(notRegular(name, info));
        int flags = ::fcntl(targetFD.get(), F_GETFL);
        if (flags >= 0)
            (void)::fcntl(targetFD.get(), F_SETFL, flags & ~O_NONBLOCK);
        // Replacing a hard-linked file would split it from its other names.
        if (info.st_nlink > 1)
            return writeInPlace(content, target, targetFD.get(), options);
    }

    auto atomic = writeAtomically(content, target, exists ? &info : nullptr, targetFD.get(), options);
    if (atomic)
        return std::move(*atomic);
    if (exists && atomic.error().mayWriteInPlace)
        return writeInPlace(content, target, targetFD.get(), options);
    return std::unexpected(std::move(atomic.error().error));
}

} // namespace UserFileWriter
} // namespace vendrix
