#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>

struct stat;

namespace vendrix {

struct UserFileError;

/// What the file system says about one file at one moment: its size, its modification time
/// with full nanosecond resolution, and the device and inode that identify it (an atomic
/// replacement by another program changes the inode even when size and time match).
struct FileStamp {
    std::int64_t size = 0;
    /// Modification time in nanoseconds since the epoch.
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    /// The stamp held in a stat record.
    [[nodiscard]] static FileStamp fromStat(const struct stat& info);
    /// The stamp of the regular file at `path`, following symbolic links. A directory, FIFO,
    /// socket or device is a `notRegularFile` error.
    [[nodiscard]] static std::expected<FileStamp, UserFileError>
    of(const std::filesystem::path& path);

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

} // namespace vendrix
