#pragma once

#include "core/text/FileStamp.h"
#include "core/text/UserFileError.h"

#include <expected>
#include <filesystem>
#include <functional>
#include <string_view>

namespace vendrix {

/// How a save reached the disk.
enum class UserFileWriteMethod {
    /// A temporary file beside the target, renamed over it: readers and a crash see the old
    /// file or the new one, never a mixture.
    atomicReplace,
    /// The target's own inode was overwritten, so its other hard links, its owner and its
    /// inode stay; used for hard-linked files, for files whose owner a new file could not
    /// keep, and when no temporary file may be created in the directory.
    inPlace,
};

/// The outcome of a save: the file actually written (symbolic links resolved), how, and its
/// stamp right after the write.
struct UserFileWriteResult {
    std::filesystem::path target;
    UserFileWriteMethod method = UserFileWriteMethod::atomicReplace;
    FileStamp stamp;
};

struct UserFileWriteOptions {
    /// Test seam: called before each system call of the save with the step's name ("create",
    /// "write", "fsync", "rename", "allocate", "truncate"); a non-zero return makes that call
    /// fail with the returned errno.
    std::function<int(std::string_view operation)> fault;
    /// Asked between pieces of content and once more before the rename; true stops the save
    /// with `cancelled` and leaves the old file as it was. Never asked once an in-place write
    /// has begun (stopping there would leave the file half written).
    std::function<bool()> cancelled = {};
};

/// A file's bytes made piece by piece, so that a save never holds them all at once.
/// `produce` hands every byte, in order, to the sink and returns true; it stops and returns
/// false when the sink returns false (the writer failed or was cancelled) or when the content
/// itself cannot be made (an unencodable character: the producer's owner knows why, the
/// writer reports `cancelled` with operation "encode"). It may be called twice: a save
/// written in place first runs it into a counting sink, so that nothing is overwritten before
/// the whole content is known to exist and fit. It runs on the writer's thread.
struct UserFileContent {
    using Sink = std::function<bool(std::string_view piece)>;
    std::function<bool(const Sink& sink)> produce;
};

/// Saves the bytes of a user's file (already encoded by TextFileCodec) safely: through
/// symbolic links to their target, atomically where that keeps the file's identity, keeping
/// mode, owner, group and extended attributes (ACLs included). A failure never truncates or
/// damages the existing file on the atomic path and never leaves a temporary file behind.
/// Synchronous; safe to call from several threads.
namespace UserFileWriter {

/// `path` with symbolic links in its last component followed to the file they name (which
/// need not exist yet), so that saving writes the link's target and the link stays a link.
/// A relative link target is taken relative to the link's directory.
[[nodiscard]] std::expected<std::filesystem::path, UserFileError>
resolveTarget(const std::filesystem::path& path);

/// Succeeds when `target` does not exist or is a regular file that opens for writing
/// (non-blocking, nothing changed). Refusals: `permissionDenied`, `readOnlyFileSystem`,
/// `notRegularFile`, and the others as errno says.
[[nodiscard]] std::expected<void, UserFileError> checkWritable(const std::filesystem::path& target);

/// Writes `bytes` to `path` (links resolved as resolveTarget does):
/// - a missing file is created atomically with the default mode (0666 less the umask);
/// - an existing regular file with one link is replaced atomically: temporary file in the
///   same directory, all bytes written, owner and group, mode and extended attributes copied,
///   fsync, rename over the target, fsync of the directory;
/// - a file with more than one hard link, or whose owner or group a new file cannot take, is
///   written in place: space reserved first where the file system can, every byte written
///   from the start, truncated to the new size, fsync;
/// - when the directory refuses a new file (EACCES, EPERM, EROFS) but the target itself is
///   writable, the in-place write is used instead. No other failure falls back: a full disk
///   or an I/O error is reported and the original is left as it was.
[[nodiscard]] std::expected<UserFileWriteResult, UserFileError>
write(std::string_view bytes, const std::filesystem::path& path,
      const UserFileWriteOptions& options = {});

/// The same save with the bytes made piece by piece by `content` while they are written.
[[nodiscard]] std::expected<UserFileWriteResult, UserFileError>
write(const UserFileContent& content, const std::filesystem::path& path,
      const UserFileWriteOptions& options = {});

} // namespace UserFileWriter
} // namespace vendrix
