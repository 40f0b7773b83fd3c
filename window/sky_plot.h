// The sky plot: satellites of the in-view list on a polar chart, composed off-screen.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>

#include "nmea/receiver_state.h"
#include "platform/qt/box_cache.h"
#include "window/sky_geometry.h"

namespace pathlux {

struct SkyPlotStyle {
    QFont labelFont;
    std::int32_t labelBox = 12;  // side of the square a PRN is written in
    std::int32_t dotRadius = 9;
};

// What does not change with the receiver: the frame, the disc, the rings and the spokes.
QImage ComposeSkyBackground(std::int32_t width, std::int32_t height, qreal devicePixelRatio);

// The satellites drawn over a copy of the background of a width x height frame; returns the
// geometry it used. The discs and labels are kept in and taken from `kept` when given.
QImage ComposeSkyPlotOn(const QImage& background, const ReceiverState& state, std::int32_t width,
                        std::int32_t height, const SkyPlotStyle& style, SkyGeometry& geometry,
                        platform::BoxCache* kept = nullptr);

// Composes the whole plot into a width x height image (at the given pixel density) and returns
// the geometry it used.
QImage ComposeSkyPlot(const ReceiverState& state, std::int32_t width, std::int32_t height,
                      const SkyPlotStyle& style, qreal devicePixelRatio, SkyGeometry& geometry);

}  // namespace pathlux
