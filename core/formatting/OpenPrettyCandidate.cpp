#include "core/formatting/OpenPrettyCandidate.h"

#include "core/formatting/FormatText.h"

#include <algorithm>
#include <string>

namespace vendrix {

namespace {

std::string asciiLowercase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::optional<OpenPrettyCandidate> candidateForExtension(std::u16string_view fileName) {
    const std::size_t slash = fileName.find_last_of(u'/');
    const std::u16string_view component =
        slash == std::u16string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = component.find_last_of(u'.');
    if (dot == std::u16string_view::npos)
        return std::nullopt;
    const std::string extension = asciiLowercase(FormatText::toUTF8(component.substr(dot + 1)));
    static constexpr std::string_view jsonExtensions[] = {"json", "geojson", "jsonc", "har",
                                                          "webmanifest"};
    static constexpr std::string_view xmlExtensions[] = {"xml",   "svg",  "xsd",  "xsl",
                                                         "xslt",  "plist", "rss", "atom",
                                                         "xaml",  "csproj", "resx", "config"};
    static constexpr std::string_view htmlExtensions[] = {"html", "htm", "xhtml"};
    auto listed = [&](const auto& list) {
        return std::find(std::begin(list), std::end(list), extension) != std::end(list);
    };
    if (listed(jsonExtensions))
        return OpenPrettyCandidate::json;
    if (listed(xmlExtensions))
        return OpenPrettyCandidate::xml;
    if (listed(htmlExtensions))
        return OpenPrettyCandidate::html;
    return std::nullopt;
}

// The units whose UTF-8 bytes are all white space or byte-order-mark bytes (EF, BB, BF).
bool isSkippedUnit(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n' || unit == 0xFEFB ||
           unit == 0xFEFF || unit == 0xFFFB || unit == 0xFFFF;
}

std::optional<OpenPrettyCandidate> candidateForContent(std::u16string_view text) {
    std::size_t first = 0;
    while (first < text.size() && isSkippedUnit(text[first]))
        ++first;
    if (first == text.size())
        return std::nullopt;
    // 65 units always give at least 64 bytes.
    std::string head = FormatText::toUTF8(text.substr(first, 65));
    if (head.size() > 64)
        head.resize(64);
    if (head[0] == '{' || head[0] == '[')
        return OpenPrettyCandidate::json;
    if (head[0] != '<')
        return std::nullopt;
    const std::string lowered = asciiLowercase(FormatText::toUTF8(FormatText::fromUTF8(head)));
    if (lowered.starts_with("<!doctype html") || lowered.starts_with("<html"))
        return OpenPrettyCandidate::html;
    return OpenPrettyCandidate::xml;
}

// Looks for a line feed only within the first minLineLength units of each line: a line with
// none there is long enough, so a one-line file is decided from its first 100,000 units
// instead of a scan of the whole text.
bool hasLongLine(std::u16string_view text) {
    const auto minimum = static_cast<std::size_t>(OpenPrettyCandidate::minLineLength);
    const char16_t* const end = text.data() + text.size();
    for (const char16_t* line = text.data();;) {
        const auto left = static_cast<std::size_t>(end - line);
        if (left < minimum)
            return false;
        const char16_t* feed = std::char_traits<char16_t>::find(line, minimum, u'\n');
        if (!feed)
            return true;
        line = feed + 1;
    }
}

} // namespace

std::string_view OpenPrettyCandidate::rawValue() const {
    switch (m_value) {
    case json:
        return "json";
    case xml:
        return "xml";
    case html:
        return "html";
    }
    return "json";
}

std::optional<OpenPrettyCandidate> OpenPrettyCandidate::fromRawValue(std::string_view raw) {
    if (raw == "json")
        return json;
    if (raw == "xml")
        return xml;
    if (raw == "html")
        return html;
    return std::nullopt;
}

std::optional<OpenPrettyCandidate> OpenPrettyCandidate::detect(
    std::u16string_view text, std::u16string_view fileName, std::optional<std::int64_t> longestLine) {
    std::optional<OpenPrettyCandidate> kind = candidateForExtension(fileName);
    if (!kind)
        kind = candidateForContent(text);
    if (!kind)
        return std::nullopt;
    const bool large = longestLine ? *longestLine >= minLineLength : hasLongLine(text);
    return large ? kind : std::nullopt;
}

} // namespace vendrix
