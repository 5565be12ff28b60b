#include "app/window/TabBarLayout.h"

#include <algorithm>

namespace vendrix::app {

TabBarLayout TabBarLayout::compute(const std::vector<int>& titleWidths, int availableWidth,
                                   bool multiline) {
    TabBarLayout layout;
    const int available = std::max(availableWidth, minAvailableWidth);
    const int count = static_cast<int>(titleWidths.size());
    layout.tabFrames.reserve(titleWidths.size());
    int row = 0;
    if (multiline) {
        int x = 0;
        for (int titleWidth : titleWidths) {
            const int width = std::min(
                std::clamp(titleWidth + titlePadding, minTabWidth, maxTabWidth), available);
            if (x > 0 && x + width > available) {
                ++row;
                x = 0;
            }
            layout.tabFrames.emplace_back(x, rowHeight * row, width, rowHeight);
            x += width;
        }
        if (x > 0 && x + plusWidth > available) {
            ++row;
            x = 0;
        }
        layout.plusFrame = QRect(x, rowHeight * row, plusWidth, rowHeight);
        layout.barWidth = available;
    } else {
        const int width =
            std::clamp(std::max(available - plusWidth, minTabWidth) / std::max(count, 1),
                       minTabWidth, maxTabWidth);
        for (int j = 0; j < count; ++j)
            layout.tabFrames.emplace_back(width * j, 0, width, rowHeight);
        layout.plusFrame = QRect(width * count, 0, plusWidth, rowHeight);
        layout.barWidth = std::max(available, layout.plusFrame.x() + plusWidth);
    }
    layout.rowCount = row + 1;
    layout.barHeight = rowHeight * layout.rowCount;
    layout.desiredHeight = rowHeight * std::min(layout.rowCount, maxVisibleRows);
    return layout;
}

QRect TabBarLayout::closeBox(const QRect& tabFrame) {
    const int right = tabFrame.x() + tabFrame.width();
    return {right - closeBoxInset, tabFrame.y() + (tabFrame.height() - closeBoxSize) / 2,
            closeBoxSize, closeBoxSize};
}

int TabBarLayout::tabAt(QPoint point) const {
    for (size_t i = 0; i < tabFrames.size(); ++i) {
        if (tabFrames[i].contains(point))
            return static_cast<int>(i);
    }
    return -1;
}

int TabBarLayout::targetIndex(QPoint point) const {
    if (const int hit = tabAt(point); hit >= 0)
        return hit;
    const int row = std::max(point.y(), 0) / rowHeight;
    int first = -1;
    int last = -1;
    for (size_t i = 0; i < tabFrames.size(); ++i) {
        if (tabFrames[i].y() / rowHeight != row)
            continue;
        if (first < 0)
            first = static_cast<int>(i);
        last = static_cast<int>(i);
    }
    if (last < 0)
        return tabFrames.empty() ? 0 : static_cast<int>(tabFrames.size()) - 1;
    return tabFrames[static_cast<size_t>(last)].x() <= point.x() ? last : first;
}

} // namespace vendrix::app
