#pragma once

#include "core/common/TextRange.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <vector>

namespace vendrix::app {

/// A range of the text with a colour, as features hand them to the view.
struct ColoredRange {
    TextRange range;
    QColor color;
};

/// Colours laid over the text without touching its storage or undo history: foreground
/// colour runs (syntax colours, optional underline) and named background layers (current
/// line, bracket pair, find matches, selected-word occurrences, column rectangle), drawn in
/// the order the layers were first set. Ranges follow edits of the text: ranges after an
/// edit move with it; the part of a run that was replaced is dropped.
class TemporaryAttributes {
public:
    struct Run {
        std::int64_t start = 0;
        std::int64_t end = 0;
        QColor color;
        bool underline = false;
    };
    struct Layer {
        QString name;
        std::vector<ColoredRange> ranges; // sorted by location
        /// Whole rows of the lines the ranges touch are filled (a band), not just the ranges.
        bool fullWidth = false;
    };

    /// Removes the foreground colour (and underline) from `range`.
    void removeForeground(TextRange range);
    /// Sets the foreground colour of `range`, replacing what was there.
    void addForeground(TextRange range, const QColor& color, bool underline = false);
    /// The runs overlapping `range`, in order.
    std::vector<Run> foreground(TextRange range) const;
    std::size_t foregroundRunCount() const { return m_runs.size(); }

    /// Replaces the ranges of a named layer (created on first use, above earlier layers).
    void setLayer(const QString& name, std::vector<ColoredRange> ranges, bool fullWidth = false);
    void clearLayer(const QString& name);
    const std::vector<Layer>& layers() const { return m_layers; }
    /// The ranges of `layer` that touch `range`.
    std::vector<ColoredRange> layerRanges(const Layer& layer, TextRange range) const;

    /// Follows an edit: `editedRange` holds the new text, `changeInLength` is new - old length.
    void textChanged(TextRange editedRange, std::int64_t changeInLength);
    void clear();

private:
    std::vector<Run> m_runs; // sorted, not overlapping
    std::vector<Layer> m_layers;
};

} // namespace vendrix::app
