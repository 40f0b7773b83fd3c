// The signal bar chart: one SNR bar per satellite of the in-view list, composed off-screen.
#pragma once

#include <QColor>
#include <QImage>

#include "nmea/receiver_state.h"
#include "platform/qt/box_cache.h"

namespace pathlux {

// What does not change with the receiver: the white chart in its etched edge, in an image one
// pixel narrower and lower than the width x height frame.
QImage ComposeBarsBackground(std::int32_t width, std::int32_t height, qreal devicePixelRatio);

// Raises the state's maxSnr, then draws the bars over a copy of the background of the frame; the
// numbers are kept in and taken from `kept` when given.
QImage ComposeSignalBarsOn(const QImage& background, ReceiverState& state, std::int32_t width,
                           std::int32_t height, platform::BoxCache* kept = nullptr);

// Raises the state's maxSnr, then composes the chart of a width x height frame into an image one
// pixel narrower and lower than the frame (at the given pixel density).
QImage ComposeSignalBars(ReceiverState& state, std::int32_t width, std::int32_t height,
                         qreal devicePixelRatio);

}  // namespace pathlux
