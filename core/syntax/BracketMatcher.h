#pragma once

#include "core/common/TextRange.h"
#include "core/common/TextSource.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vendrix {

/// The bracket next to the caret and its partner.
struct BracketMatch {
    /// UTF-16 offset of the bracket next to the caret.
    std::int64_t bracket = 0;
    /// Offset of its matching bracket; none when the search reached the start or end of the
    /// text without finding it (an unmatched bracket).
    std::optional<std::int64_t> partner;
    friend bool operator==(const BracketMatch&, const BracketMatch&) = default;
};

/// Finds the partner of the bracket ("()", "[]", "{}") next to the caret within a bounded
/// window, skipping positions the caller declares excluded (strings and comments).
class BracketMatcher {
public:
    using Exclusion = std::function<bool(std::int64_t)>;

    /// The bracket just before the caret, else the one at the caret, with its partner searched
    /// over at most `window` units. None when there is no candidate bracket or when the window
    /// ended before the text did without finding the partner.
    [[nodiscard]] static std::optional<BracketMatch> match(const TextSource& text,
                                                           std::int64_t caret, std::int64_t window,
                                                           const Exclusion& isExcluded = {});

    /// An exclusion test over ranges sorted by location and not overlapping (binary search).
    [[nodiscard]] static Exclusion exclusion(std::vector<TextRange> ranges);
};

} // namespace vendrix
