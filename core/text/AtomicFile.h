#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
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

/// The owner and group a replaced file should keep.
struct AtomicFileOwner {
    unsigned uid = 0;
    unsigned gid = 0;
};

/// Crash-safe replacement of a file: a reader, or the next start after a crash or power
/// loss, sees either the whole old file or the whole new one.
namespace AtomicFile {

/// Test seam: called before each system call of a write with the step's name ("open",
/// "write", "fsync", "rename"); a non-zero return makes that call fail with the returned errno.
using Fault = std::function<int(std::string_view operation)>;

/// Writes `data` to a temporary file in the directory of `path` with mode `permissions`
/// (e.g. 0600), fsyncs it, renames it over `path` and fsyncs the directory so that the
/// completed replacement survives a power loss. A symbolic link at `path` is replaced by a
/// regular file. With `owner`, the new file takes that owner and group where the system
/// permits (the group alone, else neither), then `permissions`.
///
/// The temporary file is nameless while it is written (O_TMPFILE) and gets its hidden name
/// ".NAME.UUID.tmp" only for the rename; where the file system has no nameless files it is
/// written under that name. Either way it is locked while it exists, so a process killed
/// at the wrong moment leaves at most one such file, and the first write into that
/// directory by a later process removes it (see isTemporaryName). On failure the
/// destination is untouched and no temporary file is left behind. Synchronous; safe to
/// call from several threads.
[[nodiscard]] std::expected<void, AtomicFileError>
write(std::string_view data, const std::filesystem::path& path, unsigned permissions,
      std::optional<AtomicFileOwner> owner = std::nullopt, const Fault& fault = {});

/// Receives the next block of a file's contents; false when it could not be written.
using BlockSink = std::function<bool(std::string_view block)>;
/// Hands a file's contents to the sink block by block, from the start, and stops with false
/// as soon as the sink does. May be asked more than once (a write that starts over).
using BlockSource = std::function<bool(const BlockSink& sink)>;

/// write() of contents made while they are written (a large text encoded a block at a time
/// needs no second copy of itself in memory).
[[nodiscard]] std::expected<void, AtomicFileError>
write(const BlockSource& contents, const std::filesystem::path& path, unsigned permissions,
      std::optional<AtomicFileOwner> owner = std::nullopt, const Fault& fault = {});

/// True for the names write() gives its temporary files: "." NAME "." UUID ".tmp" with a
/// non-empty NAME and an upper-case UUID as this program writes them.
[[nodiscard]] bool isTemporaryName(std::string_view name);

/// Removes from `directory` the temporary files of writes that did not finish: those with
/// a temporary name that are regular files of this user, last modified before this process
/// started and not locked by a live writer. write() calls it once per directory and
/// process; anything else in the directory is left alone. Returns how many were removed.
std::size_t removeStaleTemporaries(const std::filesystem::path& directory);

} // namespace AtomicFile

} // namespace vendrix
