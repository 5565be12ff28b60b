#pragma once

#include "core/common/EnumCases.h"
#include "core/formatting/FormatIndent.h"

#include <optional>
#include <string_view>

namespace vendrix {

class SettingsBacking;

/// The indentation every pretty-printer uses (the formatting commands and pretty-on-open),
/// stored under "formatting.indent" as "2", "4" or "tab".
enum class IndentChoice { two, four, tab };

namespace indentChoice {
inline constexpr std::string_view settingsKey = "formatting.indent";
inline constexpr auto cases = enumCases<IndentChoice>(
    {{IndentChoice::two, "2"}, {IndentChoice::four, "4"}, {IndentChoice::tab, "tab"}});
/// "2", "4" or "tab".
[[nodiscard]] constexpr std::string_view rawValue(IndentChoice choice) {
    return cases.rawValue(choice);
}
/// "4" gives four, "tab" gives tab, anything else (or nothing) two.
[[nodiscard]] IndentChoice fromRawValue(std::optional<std::string_view> raw);
[[nodiscard]] FormatIndent formatIndent(IndentChoice choice);
/// The stored choice; two without a backing.
[[nodiscard]] IndentChoice read(const SettingsBacking* settings);
void write(SettingsBacking* settings, IndentChoice choice);
} // namespace indentChoice

} // namespace vendrix
