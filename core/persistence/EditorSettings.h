#pragma once

#include "core/common/EnumCases.h"
#include "core/persistence/SettingsValue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vendrix {

/// The editor's colour theme; persisted by raw value.
enum class EditorTheme { system, light, dark };

/// What to do when a large single-line JSON or XML file is opened.
enum class PrettyOnOpen { ask, always, never };

namespace editorTheme {
inline constexpr auto cases = enumCases<EditorTheme>(
    {{EditorTheme::system, "system"}, {EditorTheme::light, "light"}, {EditorTheme::dark, "dark"}});
inline constexpr const auto& allCases = cases.all();
/// "system", "light" or "dark".
[[nodiscard]] constexpr std::string_view rawValue(EditorTheme theme) {
    return cases.rawValue(theme);
}
/// Exact, case-sensitive.
[[nodiscard]] constexpr std::optional<EditorTheme> fromRawValue(std::string_view raw) {
    return cases.fromRawValue(raw);
}
} // namespace editorTheme

namespace prettyOnOpen {
inline constexpr auto cases = enumCases<PrettyOnOpen>(
    {{PrettyOnOpen::ask, "ask"}, {PrettyOnOpen::always, "always"}, {PrettyOnOpen::never, "never"}});
inline constexpr const auto& allCases = cases.all();
/// "ask", "always" or "never".
[[nodiscard]] constexpr std::string_view rawValue(PrettyOnOpen policy) {
    return cases.rawValue(policy);
}
/// Exact, case-sensitive.
[[nodiscard]] constexpr std::optional<PrettyOnOpen> fromRawValue(std::string_view raw) {
    return cases.fromRawValue(raw);
}
} // namespace prettyOnOpen

/// A closed range of allowed values.
template <typename T> struct ClosedRange {
    T lowerBound;
    T upperBound;
};

/// The user's editor preferences. Font size in points; tab width in columns. Each field is
/// described by one entry of `EditorSettings::descriptors` (below).
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

    /// A copy within every descriptor's limits: a non-finite real becomes its default, other
    /// numbers are limited to their range (font size 6…72, tab width 1…16); a font name
    /// longer than 200 characters becomes empty.
    [[nodiscard]] EditorSettings clamped() const;

    friend bool operator==(const EditorSettings&, const EditorSettings&) = default;
};

inline const EditorSettings EditorSettings::defaults{};

/// How a setting's field is kept and edited: its type and its row in the settings window.
enum class SettingKind {
    /// A font family name (a popup of the installed fixed-pitch families); empty is the
    /// default font.
    fontFamily,
    /// A real within `limits` (a number field with a stepper; a decimal comma is accepted).
    number,
    /// An integer within `limits` (a number field with a stepper).
    integer,
    /// A check box.
    flag,
    /// One of an enumeration's cases, stored by raw value (a popup).
    choice,
};

/// One editor setting: the key it is stored under (in the settings file and the command-line
/// dump), how its field reads and writes a stored value, its limits, and its row in the
/// settings window. Its default is the field's initial value in EditorSettings.
struct SettingDescriptor {
    std::string_view key;
    SettingKind kind;
    /// The settings window's label for the row (the check box's text for a flag).
    std::string_view label;
    /// number and integer: the closed range values are limited to.
    ClosedRange<double> limits{0, 0};
    /// fontFamily: the longest name kept, in grapheme clusters (a longer one becomes empty).
    std::size_t maxCharacters = 0;
    /// choice: the raw values in case order, and the popup's item for each.
    std::span<const std::string_view> rawValues{};
    std::span<const std::string_view> choiceLabels{};
    /// The field in its stored form: a UTF-8 string, a real, an integer, a bool, or a
    /// choice's raw value.
    SettingsValue (*value)(const EditorSettings&) = nullptr;
    /// Reads a stored value into the field as loading does (numbers of any kind for reals,
    /// integers and flags, a string for names, an exact raw value for choices); false, with
    /// nothing changed, for anything else.
    bool (*assign)(EditorSettings&, const SettingsValue&) = nullptr;
};

/// The descriptors of the editor settings, in the order they are saved and shown.
[[nodiscard]] std::span<const SettingDescriptor> settingDescriptors();
/// The descriptor stored under `key`, or null.
[[nodiscard]] const SettingDescriptor* settingDescriptor(std::string_view key);

/// Number of extended grapheme clusters in `text`.
[[nodiscard]] std::size_t graphemeCount(std::u16string_view text);

} // namespace vendrix
