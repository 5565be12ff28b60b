#include "core/editing/ColumnEdit.h"

#include <algorithm>

namespace vendrix {

namespace {
std::u16string_view slice(std::u16string_view text, std::int64_t from, std::int64_t to) {
    return text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}
} // namespace

bool ColumnEdit::fits(std::u16string_view text) const {
    const auto length = static_cast<std::int64_t>(text.size());
    const std::size_t pairs = std::min(ranges.size(), strings.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        if (!ranges[i].fits(length))
            return false;
        if (i > 0 && ranges[i].location < ranges[i - 1].end())
            return false;
    }
    return true;
}

std::u16string ColumnEdit::applied(std::u16string_view text) const {
    if (!fits(text))
        return std::u16string(text);
    std::u16string out(text);
    const std::size_t pairs = std::min(ranges.size(), strings.size());
    for (std::size_t i = pairs; i-- > 0;)
        out.replace(static_cast<std::size_t>(ranges[i].location),
                    static_cast<std::size_t>(ranges[i].length), strings[i]);
    return out;
}

std::optional<ColumnEdit::Replacement> ColumnEdit::hullReplacement(std::u16string_view text) const {
    const std::size_t pairs = std::min(ranges.size(), strings.size());
    if (pairs == 0 || !fits(text))
        return std::nullopt;
    Replacement hull;
    hull.range = {ranges.front().location, ranges[pairs - 1].end() - ranges.front().location};
    std::int64_t previousEnd = ranges.front().location;
    for (std::size_t i = 0; i < pairs; ++i) {
        hull.string.append(slice(text, previousEnd, ranges[i].location));
        hull.string.append(strings[i]);
        previousEnd = ranges[i].end();
    }
    return hull;
}

} // namespace vendrix
