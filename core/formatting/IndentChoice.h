#pragma once

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
/// "2", "4" or "tab".
[[nodiscard]] std::string_view rawValue(IndentChoice choice);
/// "4" gives four, "tab" gives tab, anything else (or nothing) two.
[[nodiscard]] IndentChoice fromRawValue(std::optional<std::string_view> raw);
[[nodiscard]] FormatIndent formatIndent(IndentChoice choice);
/// The stored choice; two without a backing.
[[nodiscard]] IndentChoice read(const SettingsBacking* settings);
void write(SettingsBacking* settings, IndentChoice choice);
} // namespace indentChoice

} // namespace vendrix
