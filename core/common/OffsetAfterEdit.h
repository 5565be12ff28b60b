#pragma once

#include "core/common/TextRange.h"

#include <algorithm>
#include <cstdint>

namespace vendrix {

/// Which way an offset leans when the text at it changes: `upstream` keeps to the text before
/// it (text inserted exactly there goes after the offset; inside replaced text it falls back
/// to the edit's start), `downstream` to the text after it (inserted text goes before it;
/// inside replaced text it moves to the end of the new text).
enum class EditAffinity { upstream, downstream };

/// Where `offset` lies after an edit reported as the text's edit handling reports it:
/// `editedRange` holds the new text, `changeInLength` is new minus old length, so the old
/// text replaced was [editedRange.location, editedRange.end() - changeInLength). Offsets
/// before the edit stay, offsets after it move by the change in length.
constexpr std::int64_t offsetAfterEdit(std::int64_t offset, TextRange editedRange,
                                       std::int64_t changeInLength, EditAffinity affinity) {
    const std::int64_t start = editedRange.location;
    const std::int64_t oldEnd = editedRange.end() - changeInLength;
    if (affinity == EditAffinity::upstream) {
        if (offset <= start)
            return offset;
        return offset >= oldEnd ? offset + changeInLength : start;
    }
    if (offset < start)
        return offset;
    return offset >= oldEnd ? offset + changeInLength : editedRange.end();
}

/// A range after an edit: its start leans downstream and its end upstream, so text inserted
/// at either edge stays outside and the part of the range that was replaced shrinks away
/// (a range inside the replaced text becomes empty, at the end of the new text).
constexpr TextRange rangeAfterEdit(TextRange range, TextRange editedRange,
                                   std::int64_t changeInLength) {
    const std::int64_t start =
        offsetAfterEdit(range.location, editedRange, changeInLength, EditAffinity::downstream);
    const std::int64_t end = std::max(
        start, offsetAfterEdit(range.end(), editedRange, changeInLength, EditAffinity::upstream));
    return {start, end - start};
}

} // namespace vendrix
