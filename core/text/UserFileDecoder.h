#pragma once

#include "core/text/InPlaceText.h"
#include "core/text/TextFileCodec.h"
#include "core/text/UserFileReader.h"

#include <cstdint>
#include <expected>
#include <filesystem>

namespace vendrix {

/// A decoded file and the stamp of the file taken before its first byte was read.
struct DecodedUserFile {
    DecodedText decoded;
    FileStamp stamp;
    /// The file shrank while it was read; `decoded` holds what was there.
    bool endedEarly = false;
};

/// Reads and decodes a user's file for the editor in one buffer (see InPlaceText), with the
/// reader's checks, limits and progress. A file of more than one read chunk is decoded on a
/// second thread while it is still being read, so `prefix` may be told on that thread (never
/// on two threads at once). UTF-16 files, which need their bytes in another place, go through
/// TextFileCodec on a copy.
namespace UserFileDecoder {

/// Memory needed per byte of a file while it is opened this way (text, gap and line index).
inline constexpr double kMemoryPerByte = 2.3;

[[nodiscard]] std::expected<DecodedUserFile, UserFileError>
read(const std::filesystem::path& path, UserFileReadOptions options = {},
     const DecodedPrefix& prefix = {});

} // namespace UserFileDecoder
} // namespace vendrix
