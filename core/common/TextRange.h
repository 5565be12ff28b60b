#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

namespace vendrix {

/// A location and a length, both in UTF-16 code units of a document's LF-normalised text.
struct TextRange {
    std::int64_t location = 0;
    std::int64_t length = 0;

    constexpr std::int64_t end() const { return location + length; }
    constexpr bool empty() const { return length == 0; }
    /// True when `offset` lies in [location, end).
    constexpr bool contains(std::int64_t offset) const {
        return offset >= location && offset < end();
    }
    /// True when this range is well formed and lies inside a text of `textLength` units.
    constexpr bool fits(std::int64_t textLength) const {
        return location >= 0 && length >= 0 && location <= textLength &&
               length <= textLength - location;
    }
    /// The overlap of two ranges; none when they do not touch. Touching empty overlaps at
    /// a boundary count as an empty intersection, as the platform range helper reports them.
    constexpr std::optional<TextRange> intersection(const TextRange& other) const {
        std::int64_t lo = std::max(location, other.location);
        std::int64_t hi = std::min(end(), other.end());
        if (hi < lo)
            return std::nullopt;
        return TextRange{lo, hi - lo};
    }
    /// The smallest range covering both.
    constexpr TextRange unionWith(const TextRange& other) const {
        std::int64_t lo = std::min(location, other.location);
        std::int64_t hi = std::max(end(), other.end());
        return TextRange{lo, hi - lo};
    }

    friend constexpr bool operator==(const TextRange&, const TextRange&) = default;
};

} // namespace vendrix
