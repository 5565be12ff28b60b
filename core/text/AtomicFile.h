#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace vendrix {

/// A failed system call while replacing a file. `operation` is "open", "write", "fsync" or
/// "rename"; `path` is the temporary file for the first three and the destination for
/// "rename"; `errnoValue` is errno at the moment of failure.
struct AtomicFileError {
    std::string operation;
    std::string path;
    int errnoValue = 0;

    friend bool operator==(const AtomicFileError&, const AtomicFileError&) = default;
};

/// Crash-safe replacement of the program's own state files (settings, session, buffers,
/// recent files): a reader, or the next start after a crash or power loss, sees either the
/// whole old file or the whole new one.
namespace AtomicFile {

/// Writes `data` to a hidden temporary file beside `path` (".NAME.UUID.tmp"), created with
/// mode `permissions` (e.g. 0600), fsyncs it, renames it over `path` and fsyncs the directory
/// so that the completed replacement survives a power loss. A symbolic link at `path` is
/// replaced by a regular file. On failure the destination is untouched and no temporary file
/// is left behind. Synchronous; safe to call from several threads.
[[nodiscard]] std::expected<void, AtomicFileError> write(std::string_view data,
                                                         const std::filesystem::path& path,
                                                         unsigned permissions);

} // namespace AtomicFile

} // namespace vendrix
