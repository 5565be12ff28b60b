#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

/// Small POSIX helpers shared by the session store and the settings file: whole-file reads
/// that refuse anything but a regular file, directory listings with link-free status, and
/// directory creation with an explicit mode.
namespace vendrix::posixFiles {

/// Upper bound for a state file read into memory; larger files are treated as unreadable.
inline constexpr std::uint64_t maxStateFileSize = std::uint64_t{1} << 31;

/// Reads a whole regular file. The error is errno (EISDIR/EINVAL for a directory or another
/// non-regular object, EFBIG above `maxSize`). `followFinalLink` false refuses a symbolic link
/// (ELOOP). FIFOs and devices are refused without blocking. The reading itself is
/// UserFileReader's, the one file-reading path of the program.
[[nodiscard]] std::expected<std::string, int> readFile(const std::filesystem::path& path,
                                                       bool followFinalLink,
                                                       std::uint64_t maxSize = maxStateFileSize);

/// One directory entry with the status of the entry itself (links not followed).
struct DirectoryEntry {
    std::string name;
    bool statusKnown = false;
    bool isRegular = false;
    bool isDirectory = false;
    /// Modification time in nanoseconds since the epoch; the minimum when unknown.
    std::int64_t modifiedNanoseconds = INT64_MIN;
};

/// The entries of a directory except "." and "..", or errno.
[[nodiscard]] std::expected<std::vector<DirectoryEntry>, int>
listDirectory(const std::filesystem::path& directory);

/// Creates `directory` and any missing parents with `mode`; succeeds when it already is a
/// directory (a symbolic link to one counts). Returns errno and the path that failed.
[[nodiscard]] std::expected<void, std::pair<int, std::string>>
makeDirectories(const std::filesystem::path& directory, unsigned mode);

/// Sets mode 0600 on every regular file in `directory` that has a group or other bit set.
/// Errors are ignored.
void tightenRegularFiles(const std::filesystem::path& directory);

} // namespace vendrix::posixFiles
