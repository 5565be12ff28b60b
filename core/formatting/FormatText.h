#pragma once

#include "core/formatting/FormatError.h"

#include <expected>
#include <string>
#include <string_view>

namespace vendrix {

class ProgressToken;

/// Conversions and output finishing shared by the formatters, which work on UTF-8 bytes while
/// documents hold UTF-16 text.
struct FormatText {
    /// The UTF-8 bytes of `text`; a lone surrogate becomes U+FFFD.
    [[nodiscard]] static std::string toUTF8(std::u16string_view text);
    /// The text of UTF-8 `bytes`; each maximal invalid subsequence becomes one U+FFFD.
    [[nodiscard]] static std::u16string fromUTF8(std::string_view bytes);
    /// True when `bytes` is well-formed UTF-8.
    [[nodiscard]] static bool isValidUTF8(std::string_view bytes);

    /// toUTF8 for a formatter's input: converts in slices and stops with the cancellation
    /// error when `progress` is cancelled.
    [[nodiscard]] static std::expected<std::string, FormatError> inputBytes(
        std::u16string_view text, ProgressToken* progress = nullptr);

    /// Finishes formatter output in place: removes every trailing space, tab and line feed
    /// (carriage returns stay), then appends one line feed when `input` ends with one.
    static void finishBytes(std::string& output, std::string_view input);
    /// finishBytes, then fromUTF8 in slices, stopping with the cancellation error when
    /// `progress` is cancelled.
    [[nodiscard]] static std::expected<std::u16string, FormatError> finish(
        std::string output, std::string_view input, ProgressToken* progress = nullptr);
};

} // namespace vendrix
