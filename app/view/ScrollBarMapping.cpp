#include "app/view/ScrollBarMapping.h"

#include <algorithm>

namespace vendrix::app {

namespace {

__extension__ typedef __int128 Wide;

/// a * b / c rounded to nearest, exact for a, b, c >= 0 and c > 0 (the product may pass 64
/// bits).
std::int64_t scaled(std::int64_t a, std::int64_t b, std::int64_t c) {
    const auto product = static_cast<Wide>(a) * b;
    return static_cast<std::int64_t>((product + c / 2) / c);
}

} // namespace

int ScrollBarMapping::toBar(std::int64_t offset) const {
    offset = std::clamp<std::int64_t>(offset, 0, m_maximum);
    if (!isScaled())
        return static_cast<int>(offset);
    return static_cast<int>(scaled(offset, kBarLimit, m_maximum));
}

std::int64_t ScrollBarMapping::fromBar(int value) const {
    value = std::clamp(value, 0, barMaximum());
    if (!isScaled())
        return value;
    return scaled(value, m_maximum, kBarLimit);
}

int ScrollBarMapping::barStep(std::int64_t pixels) const {
    pixels = std::max<std::int64_t>(pixels, 1);
    if (!isScaled())
        return static_cast<int>(std::min<std::int64_t>(pixels, kBarLimit));
    return static_cast<int>(std::clamp<std::int64_t>(scaled(pixels, kBarLimit, m_maximum), 1,
                                                      kBarLimit));
}

} // namespace vendrix::app
