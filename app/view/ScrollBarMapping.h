#pragma once

#include <climits>
#include <cstdint>

namespace vendrix::app {

/// Maps a scroll offset in content pixels, which may pass any int, onto a scroll bar's int
/// range: one to one while the content's maximum offset fits kBarLimit, proportionally
/// beyond it (the bar then runs 0 ... kBarLimit and one bar unit stands for several pixels).
/// Offsets stay 64-bit in the view; the bar only shows and sets them.
class ScrollBarMapping {
public:
    /// The largest bar maximum; half of the int range leaves room for the bar's own
    /// value + page step arithmetic.
    static constexpr int kBarLimit = INT_MAX / 2;

    /// The largest content offset (0 when everything fits); negative counts as 0.
    void setMaximum(std::int64_t maximum) { m_maximum = maximum > 0 ? maximum : 0; }
    std::int64_t maximum() const { return m_maximum; }
    bool isScaled() const { return m_maximum > kBarLimit; }
    int barMaximum() const { return isScaled() ? kBarLimit : static_cast<int>(m_maximum); }

    /// The bar value for a content offset (clamped to 0 ... maximum()).
    int toBar(std::int64_t offset) const;
    /// The content offset for a bar value (clamped to 0 ... barMaximum()); toBar() of the
    /// result gives the value back.
    std::int64_t fromBar(int value) const;
    /// A distance in content pixels as bar units, at least 1 (the bar's page and line steps).
    int barStep(std::int64_t pixels) const;

private:
    std::int64_t m_maximum = 0;
};

} // namespace vendrix::app
