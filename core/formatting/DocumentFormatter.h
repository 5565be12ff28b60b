#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

class ProgressToken;

/// Chooses the formatter for a document and runs its pretty-printing.
struct DocumentFormatter {
    /// The formatter kinds; each kind's raw value is the language identifier of its language.
    enum class Kind : std::uint8_t { json, xml, html, sql, css };
    static constexpr std::array<Kind, 5> allKinds{Kind::json, Kind::xml, Kind::html, Kind::sql,
                                                  Kind::css};

    /// The formatter for a document in `language` (a language identifier, or none), with a
    /// sample of its text used when the language is absent or plain text: after leading white
    /// space and byte-order-mark bytes, "<" gives html when the first 4096 bytes contain
    /// "<!doctype html" or "<html" (any case), else xml; "{" or "[" gives json.
    [[nodiscard]] static std::optional<Kind> kind(std::optional<std::string_view> language,
                                                  std::u16string_view sample);
    /// The raw value of a kind ("json", "xml", "html", "sql", "css").
    [[nodiscard]] static std::string_view languageID(Kind kind);
    /// The kind whose raw value is `raw`; none for any other string.
    [[nodiscard]] static std::optional<Kind> kindFromRawValue(std::string_view raw);

    /// Pretty-prints `text` with the kind's formatter (JSON with keys in input order, markup
    /// in the XML or HTML dialect, SQL, CSS) and returns its result unchanged. `progress`
    /// follows the formatter and can cancel it (null: none).
    [[nodiscard]] static std::expected<std::u16string, FormatError> pretty(
        std::u16string_view text, Kind kind, FormatIndent indent,
        ProgressToken* progress = nullptr);
};

} // namespace vendrix
