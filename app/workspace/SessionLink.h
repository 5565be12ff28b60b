#pragma once

#include "core/persistence/SessionStore.h"

#include <QString>

#include <expected>
#include <filesystem>
#include <optional>
#include <string>

namespace vendrix::app {

/// What the session does for the flows on the workspace: writes after a change, writes now,
/// and hands over the unsaved texts it keeps. The session controller implements it; tests
/// answer it themselves. Main thread only.
class SessionLink {
public:
    virtual ~SessionLink() = default;

    /// The session's content changed: write it after the usual delay.
    virtual void scheduleSave() = 0;
    /// Writes the session now, synchronously or on the session queue; the error text when a
    /// synchronous write failed.
    virtual std::optional<QString> flush(bool synchronously) = 0;
    /// The text of a session buffer file, or why not: `missing` (no such file) or
    /// `unreadable` (the text may exist; the tab must stay pending, not become empty).
    [[nodiscard]] virtual std::expected<std::u16string, BufferReadError>
    readBuffer(const std::string& bufferName) const = 0;
    /// The folder of the buffer files, for reading a large one on a worker (through
    /// SessionStore::readBufferIn); empty: buffers are read through readBuffer alone.
    [[nodiscard]] virtual std::filesystem::path buffersDirectory() const = 0;
};

} // namespace vendrix::app
