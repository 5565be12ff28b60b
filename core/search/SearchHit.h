#pragma once

#include "core/common/TextRange.h"
#include "core/common/Uuid.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix {

/// One match of a multi-document search, located for a results list.
struct SearchHit {
    /// The searched document's id.
    Uuid documentID;
    /// The match, in that document's text.
    TextRange range;
    /// 0-based line of the match start.
    std::int64_t line = 0;
    /// 0-based offset of the match start from its line start, in UTF-16 units.
    std::int64_t column = 0;
    /// A one-line excerpt around the match.
    std::u16string preview;
    /// Where the match starts in `preview`, in UTF-16 units.
    std::int64_t previewColumn = 0;

    /// Longest excerpt taken from a line, in UTF-16 units (before widening to whole
    /// characters), and how much of it goes before the match.
    static constexpr std::int64_t previewWindow = 200;
    static constexpr std::int64_t previewLead = 40;

    /// The excerpt of the line `line` (its extent without the LF) for a match starting at
    /// `matchLocation`: the whole line when it is short, otherwise a window around the
    /// match widened to whole characters and framed by "…" where it cuts the line. Tabs
    /// become spaces; leading spaces go when the excerpt starts the line. `previewColumn`,
    /// when given, receives where the match starts in the excerpt.
    [[nodiscard]] static std::u16string makePreview(std::u16string_view text, TextRange line,
                                                    std::int64_t matchLocation,
                                                    std::int64_t* previewColumn = nullptr);

    friend bool operator==(const SearchHit&, const SearchHit&) = default;
};

} // namespace vendrix
