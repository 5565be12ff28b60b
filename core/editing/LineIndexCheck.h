#pragma once

#include "core/text/LineIndex.h"

#include <cassert>
#include <cstdint>
#include <string_view>

namespace vendrix::editing {

/// True when `index` describes `text`. A caller passing an index out of step with its text
/// has a bug: debug builds stop here (comparing the whole index for texts up to 64 Ki units),
/// release builds let the operation refuse.
inline bool lineIndexInStep(std::u16string_view text, const LineIndex& index) {
    const bool sameLength = index.length() == static_cast<std::int64_t>(text.size());
    assert(sameLength && "line index out of step with its text");
#ifndef NDEBUG
    if (sameLength && text.size() <= 65536)
        assert(index == LineIndex(text) && "line index out of step with its text");
#endif
    return sameLength;
}

} // namespace vendrix::editing
