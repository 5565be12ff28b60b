#pragma once

#include "core/common/EnumCases.h"

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// The nine supported file encodings, in menu order. Persisted by rawValue().
enum class TextEncoding {
    utf8,
    utf8BOM,
    utf16LE,
    utf16BE,
    windows1254,
    isoLatin5,
    isoLatin1,
    utf16LENoBOM,
    utf16BENoBOM,
};

/// Why text could not be decoded or encoded. Carries no message: the shell words it.
struct TextEncodingError {
    enum class Kind { unencodable, invalidData };
    Kind kind = Kind::invalidData;
    TextEncoding encoding = TextEncoding::utf8;
    /// For unencodable: UTF-16 offset of the first character the encoding cannot represent,
    /// counted in the string given to the encoder.
    std::int64_t offset = 0;
    /// For unencodable: that character, one scalar (or one lone surrogate) as UTF-16.
    std::u16string character;

    static TextEncodingError unencodable(TextEncoding encoding, std::int64_t offset,
                                         std::u16string character) {
        return {Kind::unencodable, encoding, offset, std::move(character)};
    }
    static TextEncodingError invalidData(TextEncoding encoding) {
        return {Kind::invalidData, encoding, 0, {}};
    }
    friend bool operator==(const TextEncodingError&, const TextEncodingError&) = default;
};

namespace textEncoding {

/// The cases and their persisted identifiers, in menu order.
inline constexpr auto cases = enumCases<TextEncoding>({
    {TextEncoding::utf8, "utf-8"},
    {TextEncoding::utf8BOM, "utf-8-bom"},
    {TextEncoding::utf16LE, "utf-16le"},
    {TextEncoding::utf16BE, "utf-16be"},
    {TextEncoding::windows1254, "windows-1254"},
    {TextEncoding::isoLatin5, "iso-8859-9"},
    {TextEncoding::isoLatin1, "iso-8859-1"},
    {TextEncoding::utf16LENoBOM, "utf-16le-nobom"},
    {TextEncoding::utf16BENoBOM, "utf-16be-nobom"},
});
inline constexpr const auto& allCases = cases.all();

/// The persisted identifier, e.g. "windows-1254".
constexpr std::string_view rawValue(TextEncoding encoding) {
    return cases.rawValue(encoding);
}
/// Exact, case-sensitive construction from an identifier.
constexpr std::optional<TextEncoding> fromRawValue(std::string_view raw) {
    return cases.fromRawValue(raw);
}
/// The user-facing label, e.g. "UTF-16 LE (BOM'suz)".
std::string_view displayName(TextEncoding encoding);
/// True for utf8BOM, utf16LE and utf16BE.
bool writesBOM(TextEncoding encoding);

/// Decodes with this encoding only. A byte order mark of the encoding's own kind is skipped.
/// Invalid UTF-8, odd UTF-16 byte counts and broken surrogates give invalidData; single-byte
/// encodings never fail.
[[nodiscard]] std::expected<std::u16string, TextEncodingError> decode(TextEncoding encoding,
                                                                      std::string_view bytes);
/// Encodes, writing a byte order mark where writesBOM(). Single-byte encodings fail at the
/// first character they cannot represent (characters above U+FFFF and lone surrogates
/// included); UTF-8 writes a lone surrogate as U+FFFD rather than invalid bytes.
[[nodiscard]] std::expected<std::string, TextEncodingError> encode(TextEncoding encoding,
                                                                   std::u16string_view text);

/// True when `bytes` are strict UTF-8: no overlongs, surrogates, values above U+10FFFF or
/// truncated sequences.
bool isValidUTF8(std::string_view bytes);

/// Units of slack that decodeValidUTF8() may write past the text.
inline constexpr std::size_t kDecodeSlack = 16;
/// Decodes `bytes`, which must pass isValidUTF8() (a byte order mark is not skipped), into
/// `out` and returns the units written; up to kDecodeSlack units after them are scratch.
/// `out` may lie in the same buffer before the bytes: writing never overtakes reading when
/// the bytes begin at least bytes.size() + 2 × kDecodeSlack bytes after `out` (so a file's
/// bytes kept at the end of the buffer that receives its text need no second buffer).
std::size_t decodeValidUTF8(std::string_view bytes, char16_t* out);
/// The longest valid UTF-8 start of some bytes: how many bytes, and the units they make.
struct DecodedUTF8 {
    std::size_t bytes = 0;
    std::size_t units = 0;
};
/// Decodes `bytes` up to their first invalid sequence, under the same conditions as
/// decodeValidUTF8(): the units for all the bytes when they pass isValidUTF8(), else the units
/// for the valid bytes before the first invalid sequence (scratch may follow them).
DecodedUTF8 decodeUTF8Prefix(std::string_view bytes, char16_t* out);
/// Decodes with a single-byte encoding into `out` (`bytes.size()` units). `out` may lie in
/// the same buffer before the bytes under the same condition as for decodeValidUTF8().
void decodeSingleByte(TextEncoding encoding, std::string_view bytes, char16_t* out);

} // namespace textEncoding
} // namespace vendrix
