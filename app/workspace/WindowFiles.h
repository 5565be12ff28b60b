#pragma once

#include "core/text/TextFileCodec.h"
#include "core/text/TextFileLoader.h"
#include "core/text/UserFileError.h"

#include <QString>

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace vendrix::app::windowFiles {

/// Why a user file could not be read. `description` is a complete Turkish sentence.
struct ReadFailure {
    enum class Kind { notFound, notAFile, tooLarge, unreadable, cancelled };
    Kind kind = Kind::unreadable;
    QString description;
};

/// Reads a user's file through the one reading path: regular files only, opened without
/// blocking (a FIFO, socket, device or directory is refused, never waited on), up to the
/// reader's size limit.
[[nodiscard]] std::expected<std::string, ReadFailure> read(const QString& path);
/// Reads and decodes a user's file in one buffer (the same checks as read(), and a file the
/// free memory cannot hold is refused before anything is allocated).
[[nodiscard]] std::expected<DecodedText, ReadFailure> readDecoded(const QString& path);
/// readDecoded() and the text's line index, with progress and cancellation (see
/// TextFileLoader); runs on any thread. A cancelled load fails with the kind `cancelled`.
[[nodiscard]] std::expected<LoadedTextFile, ReadFailure> load(const QString& path,
                                                              TextFileLoader::Progress progress);
/// A session buffer (SessionStore::readBufferIn) brought to LF-only line breaks, as a
/// document takes it, with its line index; progress and cancellation as for load(). Runs on
/// any thread. A buffer that cannot be read fails as `unreadable` (or `notFound`).
[[nodiscard]] std::expected<LoadedTextFile, ReadFailure>
loadBuffer(const std::filesystem::path& directory, const std::string& name,
           const TextFileLoader::Progress& progress);

/// Saves a user's file through the safe writer: symbolic links followed, atomically where
/// that keeps the file's identity, mode and owner kept, in place only when the directory
/// refuses a new file. Failure: a Turkish description.
[[nodiscard]] std::expected<void, QString> write(const QString& path, std::string_view bytes);

/// The Turkish sentence for a failed save.
[[nodiscard]] QString describeWriteFailure(const UserFileError& error);

/// True when an existing file at `path` can be opened for writing (without blocking).
[[nodiscard]] bool isWritable(const QString& path);
/// True when something exists at `path` (a dangling link does not count).
[[nodiscard]] bool exists(const QString& path);
/// True when nothing at all is at `path`, not even a dangling link, and nothing but a missing
/// name stands in the way (no permission problem): a file that saving would create.
[[nodiscard]] bool isAbsent(const QString& path);

/// An absolute path with "." and ".." components resolved (symbolic links kept).
[[nodiscard]] QString standardized(const QString& path);
/// The standardised path with symbolic links resolved as far as the file exists.
[[nodiscard]] QString resolved(const QString& path);
/// True when the bytes start with a UTF-8, UTF-16 LE or UTF-16 BE byte-order mark.
[[nodiscard]] bool hasByteOrderMark(std::string_view bytes);

} // namespace vendrix::app::windowFiles
