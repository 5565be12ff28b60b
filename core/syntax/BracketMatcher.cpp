#include "core/syntax/BracketMatcher.h"

#include <algorithm>

namespace vendrix {

namespace {

char16_t partnerOf(char16_t c) {
    switch (c) {
    case u'(':
        return u')';
    case u')':
        return u'(';
    case u'[':
        return u']';
    case u']':
        return u'[';
    case u'{':
        return u'}';
    case u'}':
        return u'{';
    default:
        return 0;
    }
}

bool isOpening(char16_t c) {
    return c == u'(' || c == u'[' || c == u'{';
}

} // namespace

std::optional<BracketMatch> BracketMatcher::match(const TextSource& text, std::int64_t caret,
                                                  std::int64_t window,
                                                  const Exclusion& isExcluded) {
    const std::int64_t length = text.length();
    auto unitAt = [&](std::int64_t offset) {
        char16_t unit = 0;
        text.copyUnits(TextRange{offset, 1}, &unit);
        return unit;
    };
    auto candidate = [&](std::int64_t offset) {
        return offset >= 0 && offset < length && partnerOf(unitAt(offset)) != 0 &&
               !(isExcluded && isExcluded(offset));
    };
    std::int64_t b = -1;
    if (candidate(caret - 1))
        b = caret - 1;
    else if (candidate(caret))
        b = caret;
    else
        return std::nullopt;

    const char16_t own = unitAt(b);
    const char16_t partner = partnerOf(own);
    const bool forward = isOpening(own);
    window = std::max<std::int64_t>(window, 0);
    const std::int64_t lo = forward ? b + 1 : std::max<std::int64_t>(b - window, 0);
    const std::int64_t hi = forward ? std::min(b + 1 + window, length) : b;
    std::vector<char16_t> units(static_cast<std::size_t>(hi - lo));
    if (hi > lo)
        text.copyUnits(TextRange{lo, hi - lo}, units.data());

    int depth = 1;
    for (std::int64_t i = 0; i < hi - lo; ++i) {
        const std::int64_t offset = forward ? lo + i : hi - 1 - i;
        const char16_t c = units[static_cast<std::size_t>(offset - lo)];
        if (c != own && c != partner)
            continue;
        if (isExcluded && isExcluded(offset))
            continue;
        depth += c == own ? 1 : -1;
        if (depth == 0)
            return BracketMatch{b, offset};
    }
    const bool reachedEdge = forward ? hi == length : lo == 0;
    if (reachedEdge)
        return BracketMatch{b, std::nullopt};
    return std::nullopt;
}

BracketMatcher::Exclusion BracketMatcher::exclusion(std::vector<TextRange> ranges) {
    return [ranges = std::move(ranges)](std::int64_t position) {
        auto it = std::upper_bound(
            ranges.begin(), ranges.end(), position,
            [](std::int64_t value, const TextRange& range) { return value < range.location; });
        if (it == ranges.begin())
            return false;
        --it;
        return it->contains(position);
    };
}

} // namespace vendrix
