#include "core/text/UserFileReader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix {
namespace UserFileReader {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

UserFileError notRegular(const std::string& path, const struct stat& info) {
    return UserFileError{UserFileErrorKind::notRegularFile, "stat", path,
                         S_ISDIR(info.st_mode) ? EISDIR : EINVAL};
}

UserFileError tooLarge(const std::string& path) {
    return UserFileError{UserFileErrorKind::tooLarge, "read", path, EFBIG};
}

} // namespace

std::uint64_t defaultMaxSize() {
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return kMaxFileSize;
    auto physical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return std::min(kMaxFileSize, physical / 8);
}

std::expected<UserFileContents, UserFileError> read(const std::filesystem::path& path,
                                                    const UserFileReadOptions& options) {
    const std::string name = path.string();
    const std::uint64_t maxSize = options.maxSize != 0 ? options.maxSize : defaultMaxSize();
    const std::size_t chunkSize = std::max<std::size_t>(options.chunkSize, 1);

    // Look before opening: opening some devices has side effects (a tape rewinds, a modem
    // line is raised), and a directory or FIFO has nothing to read anyway.
    struct stat info {};
    int statFlags = options.followFinalLink ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(AT_FDCWD, path.c_str(), &info, statFlags) != 0)
        return std::unexpected(UserFileError::fromErrno("stat", name, errno));
    if (S_ISLNK(info.st_mode))
        return std::unexpected(UserFileError::fromErrno("open", name, ELOOP));
    if (!S_ISREG(info.st_mode))
        return std::unexpected(notRegular(name, info));

    int openFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (options.followFinalLink ? 0 : O_NOFOLLOW);
    Descriptor fd(::open(path.c_str(), openFlags));
    if (fd.get() < 0)
        return std::unexpected(UserFileError::fromErrno("open", name, errno));
    // The path may have been replaced between the look and the open: judge the descriptor.
    if (::fstat(fd.get(), &info) != 0)
        return std::unexpected(UserFileError::fromErrno("stat", name, errno));
    if (!S_ISREG(info.st_mode))
        return std::unexpected(notRegular(name, info));
    // Non-blocking was only to get a FIFO open safely; regular files on network file systems
    // should block normally rather than report EAGAIN.
    int statusFlags = ::fcntl(fd.get(), F_GETFL);
    if (statusFlags >= 0)
        (void)::fcntl(fd.get(), F_SETFL, statusFlags & ~O_NONBLOCK);

    UserFileContents contents;
    contents.stamp = FileStamp::fromStat(info);
    const auto expected = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    if (expected > maxSize)
        return std::unexpected(tooLarge(name));

    std::string& bytes = contents.bytes;
    try {
        bytes.reserve(static_cast<std::size_t>(expected));
    } catch (const std::bad_alloc&) {
        return std::unexpected(UserFileError{UserFileErrorKind::tooLarge, "read", name, ENOMEM});
    }
    std::size_t filled = 0;
    for (;;) {
        ssize_t count = 0;
        int readError = 0;
        if (filled < bytes.capacity()) {
            // Read straight into the string's storage, reserved for the size at opening.
            std::size_t want = std::min(chunkSize, bytes.capacity() - filled);
            bytes.resize_and_overwrite(filled + want, [&](char* data, std::size_t) {
                count = ::read(fd.get(), data + filled, want);
                readError = errno;
                return filled + static_cast<std::size_t>(std::max<ssize_t>(count, 0));
            });
        } else {
            // All the bytes the file had are in; it may have grown since, or be a file that
            // reports size 0 (/proc). Probe without reallocating the whole buffer.
            char probe[65536];
            count = ::read(fd.get(), probe, sizeof probe);
            readError = errno;
            if (count > 0) {
                if (filled + static_cast<std::uint64_t>(count) > maxSize)
                    return std::unexpected(tooLarge(name));
                try {
                    bytes.append(probe, static_cast<std::size_t>(count));
                } catch (const std::bad_alloc&) {
                    return std::unexpected(
                        UserFileError{UserFileErrorKind::tooLarge, "read", name, ENOMEM});
                }
            }
        }
        if (count < 0) {
            if (readError == EINTR)
                continue;
            return std::unexpected(UserFileError::fromErrno("read", name, readError));
        }
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
        if (options.progress && !options.progress(filled, expected))
            return std::unexpected(
                UserFileError{UserFileErrorKind::cancelled, "read", name, ECANCELED});
    }
    contents.endedEarly = filled < expected;
    return contents;
}

} // namespace UserFileReader
} // namespace vendrix
