#include "core/editing/LineOperation.h"

namespace vendrix::lineOperation {

std::string_view rawValue(LineOperation operation) {
    switch (operation) {
    case LineOperation::duplicate:
        return "duplicate";
    case LineOperation::deleteLines:
        return "deleteLines";
    case LineOperation::moveUp:
        return "moveUp";
    case LineOperation::moveDown:
        return "moveDown";
    case LineOperation::sortAscending:
        return "sortAscending";
    case LineOperation::sortDescending:
        return "sortDescending";
    case LineOperation::removeDuplicates:
        return "removeDuplicates";
    case LineOperation::trimTrailingWhitespace:
        return "trimTrailingWhitespace";
    case LineOperation::removeEmptyLines:
        return "removeEmptyLines";
    case LineOperation::tabsToSpaces:
        return "tabsToSpaces";
    case LineOperation::leadingSpacesToTabs:
        return "leadingSpacesToTabs";
    case LineOperation::upperCase:
        return "upperCase";
    case LineOperation::lowerCase:
        return "lowerCase";
    case LineOperation::titleCase:
        return "titleCase";
    case LineOperation::joinLines:
        return "joinLines";
    }
    return "duplicate";
}

std::optional<LineOperation> fromRawValue(std::string_view raw) {
    for (LineOperation operation : allCases)
        if (rawValue(operation) == raw)
            return operation;
    return std::nullopt;
}

} // namespace vendrix::lineOperation
