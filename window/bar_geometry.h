// The signal bar chart's geometry: bar width, pitch and positions, bar tops and the scale.
#pragma once

#include <cstdint>

#include "nmea/receiver_state.h"
#include "platform/qt/rect.h"

namespace pathlux {

using platform::Rect;

struct BarLayout {
    std::int32_t barWidth = 0;  // bw
    double pitch = 0.0;         // p
    std::int32_t half = 0;      // bw / 2
    std::int32_t base = 0;      // bottom of every bar box
};

// The layout of n bars (n >= 1) in a frame W x H.
BarLayout LayoutBars(std::int32_t width, std::int32_t height, std::int32_t bars);

// Left of bar i, counted from the chart's inner edge: i x pitch, truncated.
std::int32_t BarX(const BarLayout& layout, int i);

// The bar's box (etched edge included), the PRN label box under it, and the area its colour
// fills from the top down to base - 2.
Rect BarBox(const BarLayout& layout, int i);
Rect BarLabelBox(const BarLayout& layout, int i);
Rect BarArea(const BarLayout& layout, int i);

// 4 + ((maxSnr - snr) x (base - 6)) / maxSnr, worked in 64 bits and kept within the 32-bit
// range so that any SNR a receiver sends gives a defined top.
std::int32_t BarTop(const BarLayout& layout, std::int32_t maxSnr, std::int32_t snr);

// The scale after meeting the SNRs of the first entries of the list shown: raised to any SNR
// above it and below 70, never lowered.
std::int32_t RaisedMaxSnr(const ReceiverState& state, int entries);

// Bars a redraw lays out: one for each satellite of the list shown (at most 52).
int BarsToDraw(const ReceiverState& state);

}  // namespace pathlux
