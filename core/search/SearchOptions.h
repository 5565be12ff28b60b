#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>

namespace vendrix {

/// What the user asked to search for: the typed text and the three toggles of the find bar.
struct SearchOptions {
    /// The text or pattern typed by the user.
    std::u16string query;
    /// The query is a regular expression (ICU syntax).
    bool isRegex = false;
    /// Letter case is significant.
    bool matchCase = false;
    /// Matches must not touch a letter, digit or underscore on either side.
    bool wholeWord = false;

    /// A JSON object with exactly the keys "query", "isRegex", "matchCase", "wholeWord".
    [[nodiscard]] nlohmann::json toJSON() const;
    /// Requires all four keys with a string and three booleans; anything else gives none.
    [[nodiscard]] static std::optional<SearchOptions> fromJSON(const nlohmann::json& json);

    friend bool operator==(const SearchOptions&, const SearchOptions&) = default;
};

} // namespace vendrix
