#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// The editor's colour theme; persisted by raw value.
enum class EditorTheme { system, light, dark };

/// What to do when a large single-line JSON or XML file is opened.
enum class PrettyOnOpen { ask, always, never };

namespace editorTheme {
inline constexpr std::array<EditorTheme, 3> allCases{EditorTheme::system, EditorTheme::light,
                                                     EditorTheme::dark};
/// "system", "light" or "dark".
[[nodiscard]] std::string_view rawValue(EditorTheme theme);
/// Exact, case-sensitive.
[[nodiscard]] std::optional<EditorTheme> fromRawValue(std::string_view raw);
} // namespace editorTheme

namespace prettyOnOpen {
inline constexpr std::array<PrettyOnOpen, 3> allCases{PrettyOnOpen::ask, PrettyOnOpen::always,
                                                      PrettyOnOpen::never};
/// "ask", "always" or "never".
[[nodiscard]] std::string_view rawValue(PrettyOnOpen policy);
/// Exact, case-sensitive.
[[nodiscard]] std::optional<PrettyOnOpen> fromRawValue(std::string_view raw);
} // namespace prettyOnOpen

/// A closed range of allowed values.
template <typename T> struct ClosedRange {
    T lowerBound;
    T upperBound;
};

/// The user's editor preferences. Font size in points; tab width in columns.
struct EditorSettings {
    /// Empty means the application's default editor font.
    std::u16string fontName;
    double fontSize = 13.0;
    std::int64_t tabWidth = 4;
    bool insertSpaces = false;
    bool wrapByDefault = false;
    EditorTheme theme = EditorTheme::system;
    bool highlightSelectedWord = true;
    bool showInvisibles = false;
    bool multilineTabs = true;
    PrettyOnOpen prettyOnOpen = PrettyOnOpen::ask;

    static const EditorSettings defaults;
    static constexpr ClosedRange<double> fontSizeRange{6.0, 72.0};
    static constexpr ClosedRange<std::int64_t> tabWidthRange{1, 16};
    /// Longest font name kept, in grapheme clusters.
    static constexpr std::size_t maxFontNameCharacters = 200;

    /// A copy within the limits: a non-finite font size becomes 13, other sizes are limited to
    /// 6…72; a font name longer than 200 characters becomes empty; the tab width is limited to
    /// 1…16.
    [[nodiscard]] EditorSettings clamped() const;

    friend bool operator==(const EditorSettings&, const EditorSettings&) = default;
};

inline const EditorSettings EditorSettings::defaults{};

/// Number of extended grapheme clusters in `text`.
[[nodiscard]] std::size_t graphemeCount(std::u16string_view text);

} // namespace vendrix
