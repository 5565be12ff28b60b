#include "core/text/UserFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
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

UserFileError outOfMemory(const std::string& path) {
    return UserFileError{UserFileErrorKind::tooLarge, "read", path, ENOMEM};
}

/// Opens `path` as a regular file and checks its size against the limits; `info` receives
/// the descriptor's status.
std::expected<int, UserFileError> openChecked(const std::filesystem::path& path,
                                              const UserFileReadOptions& options,
                                              struct stat& info) {
    const std::string name = path.string();
    // Look before opening: opening some devices has side effects (a tape rewinds, a modem
    // line is raised), and a directory or FIFO has nothing to read anyway.
    int statFlags = options.followFinalLink ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(AT_FDCWD, path.c_str(), &info, statFlags) != 0)
        return std::unexpected(UserFileError::fromErrno("stat", name, errno));
    if (S_ISLNK(info.st_mode))
        return std::unexpected(UserFileError::fromErrno("open", name, ELOOP));
    if (!S_ISREG(info.st_mode))
        return std::unexpected(notRegular(name, info));

    int openFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (options.followFinalLink ? 0 : O_NOFOLLOW);
    int fd = ::open(path.c_str(), openFlags);
    if (fd < 0)
        return std::unexpected(UserFileError::fromErrno("open", name, errno));
    // The path may have been replaced between the look and the open: judge the descriptor.
    UserFileError failure;
    if (::fstat(fd, &info) != 0)
        failure = UserFileError::fromErrno("stat", name, errno);
    else if (!S_ISREG(info.st_mode))
        failure = notRegular(name, info);
    if (!failure.operation.empty()) {
        ::close(fd);
        return std::unexpected(failure);
    }
    // Non-blocking was only to get a FIFO open safely; regular files on network file systems
    // should block normally rather than report EAGAIN.
    int statusFlags = ::fcntl(fd, F_GETFL);
    if (statusFlags >= 0)
        (void)::fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK);

    const auto size = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    const std::uint64_t maxSize = options.maxSize != 0 ? options.maxSize : defaultMaxSize();
    std::optional<UserFileError> refused;
    if (size > maxSize) {
        refused = tooLarge(name);
    } else if (options.memoryPerByte > 0) {
        const std::uint64_t available =
            options.availableMemory != 0 ? options.availableMemory : availableMemory();
        if (available != 0 && static_cast<double>(size) * options.memoryPerByte >
                                  static_cast<double>(available))
            refused = outOfMemory(name);
    }
    if (refused) {
        ::close(fd);
        return std::unexpected(*refused);
    }
    return fd;
}

/// Reads up to `capacity` bytes into `out`, chunk by chunk with progress; the count read,
/// or an error.
std::expected<std::uint64_t, UserFileError> readLoop(int fd, const std::string& name, char* out,
                                                     std::uint64_t capacity, std::uint64_t expected,
                                                     const UserFileReadOptions& options) {
    const std::size_t chunkSize = std::max<std::size_t>(options.chunkSize, 1);
    std::uint64_t filled = 0;
    while (filled < capacity) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(chunkSize, capacity - filled));
        const ssize_t count = ::read(fd, out + filled, want);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(UserFileError::fromErrno("read", name, errno));
        }
        if (count == 0)
            break;
        filled += static_cast<std::uint64_t>(count);
        if (options.progress && !options.progress(filled, expected))
            return std::unexpected(UserFileError{UserFileErrorKind::cancelled, "read", name, ECANCELED});
    }
    return filled;
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

std::uint64_t availableMemory() {
    std::FILE* file = std::fopen("/proc/meminfo", "re");
    if (!file)
        return 0;
    char line[256];
    unsigned long long kilobytes = 0;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1)
            break;
    std::fclose(file);
    return static_cast<std::uint64_t>(kilobytes) * 1024;
}

std::expected<UserFileContents, UserFileError> read(const std::filesystem::path& path,
                                                    const UserFileReadOptions& options) {
    const std::string name = path.string();
    const std::uint64_t maxSize = options.maxSize != 0 ? options.maxSize : defaultMaxSize();
    struct stat info {};
    auto opened = openChecked(path, options, info);
    if (!opened)
        return std::unexpected(opened.error());
    Descriptor fd(*opened);

    UserFileContents contents;
    contents.stamp = FileStamp::fromStat(info);
    const auto expected = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));

    std::string& bytes = contents.bytes;
    std::uint64_t filled = 0;
    try {
        // Read straight into the string's storage, sized for the size at opening.
        std::expected<std::uint64_t, UserFileError> count;
        bytes.resize_and_overwrite(static_cast<std::size_t>(expected), [&](char* data, std::size_t) {
            count = readLoop(fd.get(), name, data, expected, expected, options);
            return static_cast<std::size_t>(count ? *count : 0);
        });
        if (!count)
            return std::unexpected(count.error());
        filled = *count;
    } catch (const std::bad_alloc&) {
        return std::unexpected(outOfMemory(name));
    }
    // All the bytes the file had are in; it may have grown since, or be a file that reports
    // size 0 (/proc). Read on without reallocating the whole buffer for each probe.
    while (filled == expected) {
        char probe[65536];
        const ssize_t count = ::read(fd.get(), probe, sizeof probe);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(UserFileError::fromErrno("read", name, errno));
        }
        if (count == 0)
            break;
        if (bytes.size() + static_cast<std::uint64_t>(count) > maxSize)
            return std::unexpected(tooLarge(name));
        try {
            bytes.append(probe, static_cast<std::size_t>(count));
        } catch (const std::bad_alloc&) {
            return std::unexpected(outOfMemory(name));
        }
        if (options.progress && !options.progress(bytes.size(), expected))
            return std::unexpected(UserFileError{UserFileErrorKind::cancelled, "read", name, ECANCELED});
    }
    contents.endedEarly = filled < expected;
    return contents;
}

std::expected<PlacedFile, UserFileError>
readInto(const std::filesystem::path& path, const UserFileReadOptions& options,
         const std::function<char*(std::uint64_t size)>& place) {
    const std::string name = path.string();
    struct stat info {};
    auto opened = openChecked(path, options, info);
    if (!opened)
        return std::unexpected(opened.error());
    Descriptor fd(*opened);

    PlacedFile placed;
    placed.stamp = FileStamp::fromStat(info);
    const auto expected = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    char* out = nullptr;
    try {
        out = place(expected);
    } catch (const std::bad_alloc&) {
        return std::unexpected(outOfMemory(name));
    }
    auto count = readLoop(fd.get(), name, out, expected, expected, options);
    if (!count)
        return std::unexpected(count.error());
    placed.size = *count;
    placed.endedEarly = *count < expected;
    if (!placed.endedEarly) {
        char probe;
        ssize_t more;
        do
            more = ::read(fd.get(), &probe, 1);
        while (more < 0 && errno == EINTR);
        placed.grew = more > 0;
    }
    return placed;
}

} // namespace UserFileReader
} // namespace vendrix
