#include "core/text/FileStamp.h"

#include "core/text/UserFileError.h"

#include <cerrno>
#include <sys/stat.h>

namespace vendrix {

FileStamp FileStamp::fromStat(const struct stat& info) {
    return FileStamp{static_cast<std::int64_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                         static_cast<std::int64_t>(info.st_mtim.tv_nsec),
                     static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino)};
}

std::expected<FileStamp, UserFileError> FileStamp::of(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::unexpected(UserFileError::fromErrno("stat", path.string(), errno));
    if (!S_ISREG(info.st_mode))
        return std::unexpected(UserFileError{UserFileErrorKind::notRegularFile, "stat",
                                             path.string(),
                                             S_ISDIR(info.st_mode) ? EISDIR : EINVAL});
    return fromStat(info);
}

} // namespace vendrix
