#pragma once

#include "core/text/TextFileCodec.h"
#include "core/text/UserFileReader.h"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <string>

namespace vendrix {

/// A decoded file and the stamp of the file taken before its first byte was read.
struct DecodedUserFile {
    DecodedText decoded;
    FileStamp stamp;
    /// The file shrank while it was read; `decoded` holds what was there.
    bool endedEarly = false;
};

/// Told on the decoding thread that the first `finalUnits` units at `text` are decoded and
/// final (the counts grow call by call). A text that needs its line breaks normalised after
/// decoding, or UTF-16, is told nothing. The units stay at `text` when the text is handed
/// over as DecodedText (the buffer moves, it is not copied).
using DecodedPrefix = std::function<void(const char16_t* text, std::size_t finalUnits)>;

/// One buffer that first holds a file's bytes at its end and then, decoded in place, its
/// text at its front: opening a file costs the memory of its text and nothing more, and the
/// bytes are gone once decoded. Capacity is left for a text storage's editing gap.
class InPlaceText {
public:
    /// Memory for a file of `byteCount` bytes; may throw std::bad_alloc.
    explicit InPlaceText(std::uint64_t byteCount);
    /// Where the file's bytes go: `byteCount` writable bytes.
    char* bytes();
    /// Faults in the pages in front of the bytes, where most of the text will go. Run on
    /// another thread while the bytes are read, it overlaps the two kinds of page faults.
    void touchTextPages();
    /// Decodes the first `count` bytes placed (fewer than `byteCount` when the file ended
    /// early) exactly as TextFileCodec::decode() would, and hands the buffer over as the text.
    /// Decoding goes `blockBytes` of the file at a time, telling `prefix` after each block.
    DecodedText decode(std::uint64_t count, const DecodedPrefix& prefix = {},
                       std::size_t blockBytes = kBlockBytes) &&;

    static constexpr std::size_t kBlockBytes = std::size_t{4} << 20;

private:
    std::u16string m_buffer;
    std::uint64_t m_byteCount = 0;
};

/// Reads and decodes a user's file for the editor in one buffer (see InPlaceText), with the
/// reader's checks, limits and progress. UTF-16 files, which need their bytes in another
/// place, go through TextFileCodec on a copy.
namespace UserFileDecoder {

/// Memory needed per byte of a file while it is opened this way (text, gap and line index).
inline constexpr double kMemoryPerByte = 2.3;

[[nodiscard]] std::expected<DecodedUserFile, UserFileError>
read(const std::filesystem::path& path, UserFileReadOptions options = {},
     const DecodedPrefix& prefix = {});

} // namespace UserFileDecoder
} // namespace vendrix
