#pragma once

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

inline constexpr std::array<LineOperation, 15> allCases{LineOperation::duplicate,
                                                        LineOperation::deleteLines,
                                                        LineOperation::moveUp,
                                                        LineOperation::moveDown,
                                                        LineOperation::sortAscending,
                                                        LineOperation::sortDescending,
                                                        LineOperation::removeDuplicates,
                                                        LineOperation::trimTrailingWhitespace,
                                                        LineOperation::removeEmptyLines,
                                                        LineOperation::tabsToSpaces,
                                                        LineOperation::leadingSpacesToTabs,
                                                        LineOperation::upperCase,
                                                        LineOperation::lowerCase,
                                                        LineOperation::titleCase,
                                                        LineOperation::joinLines};

/// The case name, e.g. "sortAscending".
std::string_view rawValue(LineOperation operation);
/// Exact, case-sensitive construction from a raw value.
std::optional<LineOperation> fromRawValue(std::string_view raw);

} // namespace lineOperation
} // namespace vendrix
