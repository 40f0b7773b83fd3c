#include "window/bar_geometry.h"

#include <algorithm>
#include <limits>

#include "nmea/fields.h"

namespace pathlux {
namespace {

constexpr std::int32_t kSnrCeiling = 70;  // values at or above are not believed

}  // namespace

BarLayout LayoutBars(std::int32_t width, std::int32_t height, std::int32_t bars) {
    BarLayout layout;
    const std::int32_t n = std::max(bars, 1);
    layout.barWidth = (width - 2 * n - 3) / n;
    layout.pitch = static_cast<double>(width - 2 * n - 2) / static_cast<double>(n) + 2.0;
    layout.half = layout.barWidth / 2;
    layout.base = height - 12;
    return layout;
}

std::int32_t BarX(const BarLayout& layout, int i) {
    return TruncateToInt32(i * layout.pitch);
}

Rect BarBox(const BarLayout& layout, int i) {
    const std::int32_t x = BarX(layout, i);
    return {x + 3, 3, x + 3 + layout.barWidth, layout.base};
}

Rect BarLabelBox(const BarLayout& layout, int i) {
    const std::int32_t left = BarBox(layout, i).left;
    return {left + layout.half - 6, layout.base - 2, left + layout.half + 6, layout.base + 10};
}

Rect BarArea(const BarLayout& layout, int i) {
    const Rect box = BarBox(layout, i);
    return {box.left + 1, 4, box.right - 2, layout.base - 2};
}

std::int32_t BarTop(const BarLayout& layout, std::int32_t maxSnr, std::int32_t snr) {
    const std::int64_t scale = std::max(maxSnr, 1);
    const std::int64_t top =
        4 + ((scale - snr) * static_cast<std::int64_t>(layout.base - 2 - 4)) / scale;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        top, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t RaisedMaxSnr(const ReceiverState& state, int entries) {
    std::int32_t maxSnr = state.maxSnr;
    for (int i = 0; i < entries; ++i) {
        const std::int32_t snr = state.Shown(i).record->snr;
        if (snr > maxSnr && snr < kSnrCeiling) {
            maxSnr = snr;
        }
    }
    return maxSnr;
}

int BarsToDraw(const ReceiverState& state) {
    return state.ShownCount();
}

}  // namespace pathlux
