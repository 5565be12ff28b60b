#pragma once

#include "core/common/EnumCases.h"

#include <array>
#include <optional>
#include <string_view>

namespace vendrix {

/// The editor's line commands. The raw value of each case is its name.
enum class LineOperation {
    duplicate,
    deleteLines,
    moveUp,
    moveDown,
    sortAscending,
    sortDescending,
    removeDuplicates,
    trimTrailingWhitespace,
    removeEmptyLines,
    tabsToSpaces,
    leadingSpacesToTabs,
    upperCase,
    lowerCase,
    titleCase,
    joinLines,
};

namespace lineOperation {

/// The cases and their raw values (each its case name).
inline constexpr auto cases = enumCases<LineOperation>({
    {LineOperation::duplicate, "duplicate"},
    {LineOperation::deleteLines, "deleteLines"},
    {LineOperation::moveUp, "moveUp"},
    {LineOperation::moveDown, "moveDown"},
    {LineOperation::sortAscending, "sortAscending"},
    {LineOperation::sortDescending, "sortDescending"},
    {LineOperation::removeDuplicates, "removeDuplicates"},
    {LineOperation::trimTrailingWhitespace, "trimTrailingWhitespace"},
    {LineOperation::removeEmptyLines, "removeEmptyLines"},
    {LineOperation::tabsToSpaces, "tabsToSpaces"},
    {LineOperation::leadingSpacesToTabs, "leadingSpacesToTabs"},
    {LineOperation::upperCase, "upperCase"},
    {LineOperation::lowerCase, "lowerCase"},
    {LineOperation::titleCase, "titleCase"},
    {LineOperation::joinLines, "joinLines"},
});
inline constexpr const auto& allCases = cases.all();

/// The case name, e.g. "sortAscending".
constexpr std::string_view rawValue(LineOperation operation) {
    return cases.rawValue(operation);
}
/// Exact, case-sensitive construction from a raw value.
constexpr std::optional<LineOperation> fromRawValue(std::string_view raw) {
    return cases.fromRawValue(raw);
}

} // namespace lineOperation
} // namespace vendrix
