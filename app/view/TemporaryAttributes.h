#pragma once

#include "app/view/ColorRuns.h"
#include "core/common/TextRange.h"

#include <QColor>

#include <array>
#include <cstdint>
#include <vector>

namespace vendrix::app {

/// A range of the text with a colour, as features hand them to the view.
struct ColoredRange {
    TextRange range;
    QColor color;
};

/// The foreground colour layers, lowest first: where layers overlap, the higher one's colour
/// is drawn. Each is set and cleared on its own, so no user overwrites another's colours.
enum class ForegroundLayer {
    syntax,      ///< syntax colouring
    findMatches, ///< find results drawn in a colour of their own
    bracketPair, ///< the bracket pair at the caret (or the bracket without a partner)
};
inline constexpr int kForegroundLayerCount = 3;

/// The background layers, drawn bottom to top in this order, all below the selection: the
/// broad current-line band first, then marks that say more about less text (matches of a
/// search, occurrences of the selected word, the bracket pair), the column rectangle on top
/// because while it is active it is the selection.
enum class BackgroundLayer {
    currentLine,
    findMatches,
    selectedWord,
    bracketPair,
    columnSelection,
};
inline constexpr int kBackgroundLayerCount = 5;

/// Colours laid over the text without touching its storage or undo history: named
/// foreground layers of colour runs and named background layers of coloured ranges.
/// Everything follows edits of the text with the one offset rule of the core
/// (`rangeAfterEdit`); the colour of replaced text is dropped.
class TemporaryAttributes {
public:
    using Run = ColorRuns::Run;
    struct Layer {
        std::vector<ColoredRange> ranges; ///< sorted by location
        /// Whole rows of the lines the ranges touch are filled (a band), not just the ranges.
        bool fullWidth = false;
    };

    void addForeground(ForegroundLayer layer, TextRange range, const QColor& color,
                       bool underline = false);
    void removeForeground(ForegroundLayer layer, TextRange range);
    void clearForeground(ForegroundLayer layer);
    /// The runs of one layer overlapping `range`.
    std::vector<Run> foreground(ForegroundLayer layer, TextRange range) const;
    /// What is drawn over `range`: the runs of all layers, cut where a higher layer covers a
    /// lower one, in order and without overlaps.
    std::vector<Run> effectiveForeground(TextRange range) const;

    /// Replaces the ranges of a background layer; within a layer they should not overlap.
    void setBackground(BackgroundLayer layer, std::vector<ColoredRange> ranges,
                       bool fullWidth = false);
    void clearBackground(BackgroundLayer layer);
    const Layer& background(BackgroundLayer layer) const {
        return m_backgrounds[static_cast<std::size_t>(layer)];
    }
    /// The ranges of a background layer that touch `range`.
    std::vector<ColoredRange> backgroundRanges(BackgroundLayer layer, TextRange range) const;

    /// Follows an edit: `editedRange` holds the new text, `changeInLength` is new - old length.
    void textChanged(TextRange editedRange, std::int64_t changeInLength);
    void clear();

private:
    std::array<ColorRuns, kForegroundLayerCount> m_foregrounds;
    std::array<Layer, kBackgroundLayerCount> m_backgrounds;
};

} // namespace vendrix::app
