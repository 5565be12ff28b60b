#include "core/text/GoToLineTarget.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace vendrix {

namespace {

bool isHorizontalSpace(char16_t c) {
    return c == u'\t' || u_charType(c) == U_SPACE_SEPARATOR;
}

/// A decimal integer with an optional sign; none when anything else is there or it overflows.
std::optional<std::int64_t> parseInteger(std::u16string_view piece) {
    size_t i = 0;
    bool negative = false;
    if (i < piece.size() && (piece[i] == u'+' || piece[i] == u'-')) {
        negative = piece[i] == u'-';
        ++i;
    }
    if (i == piece.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < piece.size(); ++i) {
        char16_t c = piece[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (value > (std::numeric_limits<std::int64_t>::max() - (c - u'0')) / 10)
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

} // namespace

std::optional<GoToLineTarget> GoToLineTarget::parse(std::u16string_view text) {
    while (!text.empty() && isHorizontalSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isHorizontalSpace(text.back()))
        text.remove_suffix(1);

    std::vector<std::u16string_view> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u':' || text[i] == u',' || text[i] == u' ') {
            if (i > start)
                pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    if (pieces.empty() || pieces.size() > 2)
        return std::nullopt;
    auto line = parseInteger(pieces[0]);
    if (!line || *line < 1)
        return std::nullopt;
    GoToLineTarget target{*line, std::nullopt};
    if (pieces.size() == 2) {
        auto column = parseInteger(pieces[1]);
        if (!column || *column < 1)
            return std::nullopt;
        target.column = *column;
    }
    return target;
}

std::int64_t GoToLineTarget::location(const LineIndex& index) const {
    std::int64_t lineNumber = std::clamp<std::int64_t>(line, 1, index.lineCount());
    TextRange extent = index.range(lineNumber - 1);
    std::int64_t col = column.value_or(1);
    if (col < 2)
        col = 1;
    col = std::min(col, extent.length + 1);
    return extent.location + col - 1;
}

} // namespace vendrix
