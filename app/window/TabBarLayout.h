#pragma once

#include <QPoint>
#include <QRect>

#include <vector>

namespace vendrix::app {

/// Where the tabs and the new-tab button of the tab bar go. A pure computation over the
/// titles' rendered widths, so that it can be checked without painting. Units are pixels.
struct TabBarLayout {
    static constexpr int minTabWidth = 90;
    static constexpr int maxTabWidth = 220;
    static constexpr int plusWidth = 28;
    static constexpr int rowHeight = 28;
    /// Rows shown at most; further rows scroll.
    static constexpr int maxVisibleRows = 8;
    /// Room around a title: its left margin and the close box.
    static constexpr int titlePadding = 46;
    /// The available width is never taken as less than this.
    static constexpr int minAvailableWidth = 118;
    /// The close box: a square of this size whose left edge is closeBoxInset left of the
    /// tab's right edge, centred vertically.
    static constexpr int closeBoxSize = 16;
    static constexpr int closeBoxInset = 22;
    /// How far the pointer must move before a press on a tab becomes a drag.
    static constexpr int dragThreshold = 4;

    std::vector<QRect> tabFrames;
    QRect plusFrame;
    int rowCount = 1;
    /// The bar's own size: as wide as the available width (wider when one line of tabs
    /// does not fit), as high as its rows.
    int barWidth = 0;
    int barHeight = rowHeight;
    /// The height the bar asks of its scroll view: at most maxVisibleRows rows.
    int desiredHeight = rowHeight;

    /// Lays out tabs whose titles render `titleWidths` wide (rounded up) in
    /// `availableWidth`, either wrapping into rows (`multiline`) or on one scrolling line.
    static TabBarLayout compute(const std::vector<int>& titleWidths, int availableWidth,
                                bool multiline);

    /// The close box of a tab with frame `tabFrame`.
    static QRect closeBox(const QRect& tabFrame);
    /// The index of the tab containing `point`, or -1.
    int tabAt(QPoint point) const;
    /// Where a tab dragged to `point` goes: the tab under the point; else in the point's
    /// row the last tab if it starts at or left of the point, otherwise the row's first tab;
    /// with no tab in that row the last index (0 with no tabs).
    int targetIndex(QPoint point) const;
};

} // namespace vendrix::app
