#include "window/chart_cache.h"

#include <utility>

#include "window/bar_geometry.h"
#include "window/signal_bars.h"

namespace pathlux {
namespace {

// Everything of the state a chart draws from: the fix, and each satellite of the list shown with
// its record; for the bars the scale and the SNRs, for the sky plot the places and only whether
// a satellite has an SNR (it is then plotted even without a place).
std::vector<std::int32_t> WhatChartShows(const ReceiverState& state, bool bars) {
    const int entries = state.ShownCount();
    std::vector<std::int32_t> shows;
    shows.reserve(3 + 7 * static_cast<std::size_t>(entries));
    shows.insert(shows.end(), {state.fix3d, bars ? state.maxSnr : 0, entries});
    for (int i = 0; i < entries; ++i) {
        const ShownSatellite satellite = state.Shown(i);
        const SatelliteRecord& record = *satellite.record;
        shows.insert(shows.end(),
                     {satellite.label, static_cast<std::int32_t>(satellite.id.system),
                      satellite.id.number, bars ? record.snr : record.snr != 0,
                      bars ? 0 : record.elevation, bars ? 0 : record.azimuth, record.used});
    }
    return shows;
}

}  // namespace

bool ChartCache::Chart::Stale(std::vector<std::int32_t> now, QSize size, qreal zoomNow,
                              qreal ratioNow,
                              QImage (*compose)(std::int32_t, std::int32_t, qreal)) {
    if (size != frame || zoomNow != zoom || ratioNow != screenRatio) {
        frame = size;
        zoom = zoomNow;
        screenRatio = ratioNow;
        background = compose(size.width(), size.height(), zoom * screenRatio);
        image = QImage();
    }
    if (!image.isNull() && now == shows) {
        return false;
    }
    shows = std::move(now);
    return true;
}

const QImage& ChartCache::Chart::Keep(QImage composed) {
    composed.setDevicePixelRatio(screenRatio);
    image = std::move(composed);
    return image;
}

bool ChartCache::SkyUnchanged(const ReceiverState& state) const {
    return !sky_.image.isNull() && WhatChartShows(state, false) == sky_.shows;
}

bool ChartCache::BarsUnchanged(const ReceiverState& state) const {
    return !bars_.image.isNull() && WhatChartShows(state, true) == bars_.shows;
}

const QImage& ChartCache::Sky(const ReceiverState& state, QSize frame, const SkyPlotStyle& style,
                              qreal zoom, qreal screenRatio) {
    if (!sky_.Stale(WhatChartShows(state, false), frame, zoom, screenRatio, ComposeSkyBackground)) {
        return sky_.image;
    }
    SkyGeometry geometry;
    return sky_.Keep(ComposeSkyPlotOn(sky_.background, state, frame.width(), frame.height(), style,
                                      geometry, &kept_));
}

const QImage& ChartCache::Bars(ReceiverState& state, QSize frame, qreal zoom, qreal screenRatio) {
    // The scale a composition would raise is part of what it shows.
    state.maxSnr = RaisedMaxSnr(state, BarsToDraw(state));
    if (!bars_.Stale(WhatChartShows(state, true), frame, zoom, screenRatio,
                     ComposeBarsBackground)) {
        return bars_.image;
    }
    return bars_.Keep(
        ComposeSignalBarsOn(bars_.background, state, frame.width(), frame.height(), &kept_));
}

}  // namespace pathlux
