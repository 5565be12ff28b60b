#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vendrix {

/// The kind of a file being opened that is worth pretty-printing on open: a large single-line
/// JSON, XML or HTML file. Usable like an enumeration (`OpenPrettyCandidate::json`).
class OpenPrettyCandidate {
public:
    enum Value : std::uint8_t { json, xml, html };

    /// A line must be at least this many UTF-16 units long for the file to be a candidate.
    static constexpr std::int64_t minLineLength = 100000;

    constexpr OpenPrettyCandidate(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    /// "json", "xml" or "html".
    [[nodiscard]] std::string_view rawValue() const;
    /// The candidate named by `raw`; none for any other string.
    [[nodiscard]] static std::optional<OpenPrettyCandidate> fromRawValue(std::string_view raw);

    /// Decides whether a file is a candidate: its extension names the kind (json, geojson,
    /// jsonc, har, webmanifest; xml, svg, xsd, xsl, xslt, plist, rss, atom, xaml, csproj, resx,
    /// config; html, htm, xhtml), otherwise the first significant bytes of `text` do; then it
    /// needs a line of at least `minLineLength` units — `longestLine` when known, else the
    /// text is scanned for one.
    [[nodiscard]] static std::optional<OpenPrettyCandidate> detect(
        std::u16string_view text, std::u16string_view fileName,
        std::optional<std::int64_t> longestLine);

private:
    Value m_value;
};

} // namespace vendrix
