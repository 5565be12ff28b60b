#pragma once

#include "core/text/FileStamp.h"
#include "core/text/UserFileError.h"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <string>

namespace vendrix {

/// A whole file's bytes, ready for TextFileCodec, with the stamp of the file taken from the
/// same open descriptor before the first byte was read.
struct UserFileContents {
    std::string bytes;
    FileStamp stamp;
    /// The file shrank while it was read (another program truncated it): `bytes` holds what
    /// was there when the reading reached the new end, fewer than `stamp.size` bytes.
    bool endedEarly = false;
};

/// How to read. The defaults suit a user's file opened in the editor.
struct UserFileReadOptions {
    /// Files larger than this are refused as `tooLarge` before any memory is allocated.
    std::uint64_t maxSize = 0; // 0: UserFileReader::defaultMaxSize()
    /// False refuses a symbolic link as the last path component (ELOOP), for state files.
    bool followFinalLink = true;
    /// Bytes asked of each read() call; progress is reported between calls.
    std::size_t chunkSize = std::size_t{8} << 20;
    /// Called after each chunk with the bytes read so far and the size the file had when it
    /// was opened; returning false stops the read with a `cancelled` error.
    std::function<bool(std::uint64_t bytesRead, std::uint64_t expectedSize)> progress;
    /// Memory the caller needs per byte of the file while holding it (the decoded text
    /// included). When set, a file whose need exceeds the memory the system has available is
    /// refused as `tooLarge` with ENOMEM before anything is allocated.
    double memoryPerByte = 0;
    /// The available memory to judge against; 0 asks the system (MemAvailable).
    std::uint64_t availableMemory = 0;
};

/// What readInto() placed: the file's stamp and how many bytes it wrote.
struct PlacedFile {
    FileStamp stamp;
    /// Bytes written to the caller's memory; fewer than the size at opening when the file
    /// shrank while it was read (`endedEarly`).
    std::uint64_t size = 0;
    bool endedEarly = false;
    /// The file grew past its size at opening while it was read: the bytes beyond were not
    /// read, and the caller should read it again another way.
    bool grew = false;
};

/// The one way the editor, the command-line tool and the state stores read a whole file.
/// Opens non-blocking so that a FIFO cannot hang the caller, refuses anything but a regular
/// file, and reads with read() rather than a mapping: a file truncated under the reader (a log
/// rotated by copy-and-truncate) ends the data early instead of raising SIGBUS.
/// Synchronous; safe to call from several threads.
namespace UserFileReader {

/// The largest file ever read: 2 GiB. An opened file costs about seven times its size at
/// its peak (the bytes, the UTF-16 text, the editable copy with its line index, a snapshot),
/// so anything larger is beyond what an editing session can use.
inline constexpr std::uint64_t kMaxFileSize = std::uint64_t{2} << 30;

/// kMaxFileSize, or an eighth of the machine's physical memory when that is smaller.
[[nodiscard]] std::uint64_t defaultMaxSize();

/// Reads the whole regular file at `path`.
[[nodiscard]] std::expected<UserFileContents, UserFileError>
read(const std::filesystem::path& path, const UserFileReadOptions& options = {});

/// Reads the whole regular file at `path` into memory that `place(size)` provides for the
/// size the file has once opened and checked; called once, before the first byte is read.
/// A `place` that throws std::bad_alloc makes the read fail as `tooLarge` (ENOMEM).
[[nodiscard]] std::expected<PlacedFile, UserFileError>
readInto(const std::filesystem::path& path, const UserFileReadOptions& options,
         const std::function<char*(std::uint64_t size)>& place);

/// The memory the system can give without swapping (MemAvailable), or 0 when unknown.
[[nodiscard]] std::uint64_t availableMemory();

} // namespace UserFileReader
} // namespace vendrix
