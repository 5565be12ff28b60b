#pragma once

#include "core/common/TextRange.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace vendrix::app {

/// What the column selection tells the rest of the editor about its rectangle, through the
/// text view (EditorTextView::columnSelection()). Other input handlers ask isActive() to keep
/// out of its way (Tab in a rectangle types a tab on every line); the Edit menu's line and
/// case commands use the bounding range and the per-line parts.
class ColumnSelectionQuery {
public:
    /// A change of one line part's text (the case commands).
    using LinePartTransform = std::u16string (*)(std::u16string_view part);

    virtual ~ColumnSelectionQuery() = default;
    /// True while a column selection is active in the view.
    virtual bool isActive() const = 0;
    /// True for a rectangle (not per-line carets) of positive width.
    virtual bool isRectangularWithWidth() const = 0;
    /// From the rectangle's top-left corner to its bottom-right corner, clamped to the lines'
    /// ends; an empty range when not active.
    virtual TextRange boundingRange() const = 0;
    /// The selected part of every line of the rectangle that reaches it, top line first
    /// (empty parts included).
    virtual std::vector<TextRange> lineParts() const = 0;
    /// Replaces each non-empty line part by `transform` of it, as one undo step named
    /// `actionName`, keeping the rectangle. False when the selection is not a rectangle of
    /// positive width (nothing done: run the command on the bounding range instead). When no
    /// part changes, the status bar says so and nothing is recorded; still true.
    virtual bool transformLineParts(LinePartTransform transform, const QString& actionName) = 0;
};

} // namespace vendrix::app
