#pragma once

#include "core/text/LineEnding.h"
#include "core/text/TextEncoding.h"

#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// The result of reading a file: its text (normally LF-normalised), the encoding it was read
/// with, the line ending found in it (`lf` when it has none) and whether it looks binary.
struct DecodedText {
    std::u16string text;
    TextEncoding encoding = TextEncoding::utf8;
    LineEnding lineEnding = LineEnding::lf;
    bool isBinary = false;
    /// The file mixed line-ending styles (CRLF beside LF, a lone CR among them): all became
    /// LF, and saving writes `lineEnding` throughout.
    bool mixedLineEndings = false;
    /// The text (not binary) holds U+0000, from NUL bytes in the file; saving writes them back.
    bool holdsNul = false;

    friend bool operator==(const DecodedText&, const DecodedText&) = default;
};

/// What detection found for a file's bytes.
struct DetectedEncoding {
    TextEncoding encoding = TextEncoding::utf8;
    bool isBinary = false;

    friend bool operator==(const DetectedEncoding&, const DetectedEncoding&) = default;
};

/// Turns file bytes into editable text and back. Stateless; safe from any thread.
namespace TextFileCodec {

/// Bytes examined by the byte-order-mark, NUL, UTF-16 and binary tests.
inline constexpr size_t kSampleSize = 65536;

/// Encoding and binary detection: byte order marks, UTF-16 without one, the binary test,
/// strict UTF-8 over the whole data, then a single-byte guess.
[[nodiscard]] DetectedEncoding detectEncoding(std::string_view data);
/// The detection steps that look only at the first kSampleSize bytes: byte order marks,
/// UTF-16 without one and the binary test. None when the whole data must decide (strict UTF-8,
/// else the single-byte guess).
[[nodiscard]] std::optional<DetectedEncoding> detectFromSample(std::string_view data);
/// True when some byte of `data` makes the single-byte guess Windows-1254 rather than
/// ISO-8859-1 (made when the data is not UTF-8).
[[nodiscard]] bool hasWindows1254Byte(std::string_view data);
/// Reads a file's bytes; never fails (anything undecodable falls back to ISO-8859-1).
[[nodiscard]] DecodedText decode(std::string_view data);
/// Reads with a chosen encoding and no detection; fails with invalidData.
[[nodiscard]] std::expected<DecodedText, TextEncodingError> decode(std::string_view data,
                                                                   TextEncoding encoding);
/// Converts LF to `lineEnding` and encodes. An unencodable error's offset counts UTF-16 units
/// of the converted text.
[[nodiscard]] std::expected<std::string, TextEncodingError>
encode(std::u16string_view text, TextEncoding encoding, LineEnding lineEnding);

/// The binary test over a sample with `nulCount` NUL bytes.
[[nodiscard]] bool looksBinary(std::string_view sample, size_t nulCount);

} // namespace TextFileCodec
} // namespace vendrix
