#pragma once

#include "core/formatting/FormatError.h"

#include <expected>
#include <map>
#include <string>
#include <string_view>

namespace vendrix {

/// Text transformations offered next to the formatters: HTML entities, JSON string escaping,
/// Base64 of the text's UTF-8 bytes and URL percent-encoding. Pure functions; the encoders and
/// the HTML decoder always succeed, the other decoders report a positioned FormatError.
struct TextCodec {
    /// The named entities the HTML decoder knows (name without "&" and ";" -> text).
    [[nodiscard]] static const std::map<std::u16string, std::u16string>& htmlNamedEntities();

    /// Replaces " & ' < > with &quot; &amp; &#39; &lt; &gt;; everything else is kept.
    [[nodiscard]] static std::u16string htmlEncode(std::u16string_view text);
    /// Resolves named entities of the table and decimal or hexadecimal character references of
    /// 1 to 32 characters; anything unresolved is kept as it stands.
    [[nodiscard]] static std::u16string htmlDecode(std::u16string_view text);

    /// The text as a JSON string literal, in double quotes.
    [[nodiscard]] static std::u16string jsonEscape(std::u16string_view text);
    /// Resolves the escapes of a JSON string (surrounding quotes optional).
    [[nodiscard]] static std::expected<std::u16string, FormatError> jsonUnescape(
        std::u16string_view text);

    /// Standard Base64 with padding, no line breaks, of the text's UTF-8 bytes.
    [[nodiscard]] static std::u16string base64Encode(std::u16string_view text);
    /// Decodes standard or URL-safe Base64 (white space skipped, missing padding added); the
    /// decoded bytes must be UTF-8 text.
    [[nodiscard]] static std::expected<std::u16string, FormatError> base64Decode(
        std::u16string_view text);

    /// Percent-encodes every UTF-8 byte except ASCII letters, digits and - . _ ~.
    [[nodiscard]] static std::u16string urlEncode(std::u16string_view text);
    /// Decodes %XX sequences ("+" stays); the decoded bytes must be UTF-8 text.
    [[nodiscard]] static std::expected<std::u16string, FormatError> urlDecode(
        std::u16string_view text);
};

} // namespace vendrix
