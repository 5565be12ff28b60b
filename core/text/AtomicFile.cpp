#include "core/text/AtomicFile.h"

#include "core/common/Uuid.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix {

namespace AtomicFile {

namespace {

/// Flushes the directory that holds `path`, so the rename itself is on stable storage.
/// Best effort: some file systems refuse fsync on directories, and the data is already safe.
void syncDirectory(const std::filesystem::path& path) {
    std::filesystem::path dir = path.parent_path();
    if (dir.empty())
        dir = ".";
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    while (::fsync(fd) != 0 && errno == EINTR) {
    }
    ::close(fd);
}

} // namespace

std::expected<void, AtomicFileError> write(std::string_view data, const std::filesystem::path& path,
                                           unsigned permissions) {
    const std::string dir = path.parent_path().string();
    const std::string tempPath = dir + (dir.empty() ? "." : "/.") + path.filename().string() + "." +
                                 Uuid::random().uuidString() + ".tmp";
    const auto mode = static_cast<mode_t>(permissions);

    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return std::unexpected(AtomicFileError{"open", tempPath, errno});

    auto failAfterOpen = [&](const char* operation, const std::string& errorPath, int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(tempPath.c_str());
        return std::unexpected(AtomicFileError{operation, errorPath, error});
    };

    const char* bytes = data.data();
    size_t remaining = data.size();
    while (remaining > 0) {
        ssize_t written = ::write(fd, bytes, remaining);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return failAfterOpen("write", tempPath, errno);
        }
        bytes += written;
        remaining -= static_cast<size_t>(written);
    }

    // The umask may have narrowed the creation mode; the result does not matter.
    (void)::fchmod(fd, mode);

    int syncResult;
    do {
        syncResult = ::fsync(fd);
    } while (syncResult != 0 && errno == EINTR);
    if (syncResult != 0)
        return failAfterOpen("fsync", tempPath, errno);

    ::close(fd);
    fd = -1;

    if (::rename(tempPath.c_str(), path.c_str()) != 0)
        return failAfterOpen("rename", path.string(), errno);

    syncDirectory(path);
    return {};
}

} // namespace AtomicFile
} // namespace vendrix
