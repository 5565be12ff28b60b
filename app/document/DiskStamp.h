#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace vendrix::app {

/// The size and modification time of a regular file, taken when the editor last read or
/// wrote it; a different stamp later means the file changed on disk.
struct DiskStamp {
    std::int64_t size = 0;
    /// Modification time in nanoseconds since the epoch (stat's full resolution).
    std::int64_t modifiedNanoseconds = 0;

    /// The stamp of the file at `path`, following symbolic links; none when the item cannot
    /// be read or is not a regular file.
    [[nodiscard]] static std::optional<DiskStamp> of(const QString& path);

    friend bool operator==(const DiskStamp&, const DiskStamp&) = default;
};

} // namespace vendrix::app
