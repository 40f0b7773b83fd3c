// The two charts as the window last composed them. What does not change with the receiver (the
// sky plot's frame, disc, rings and spokes; the bar chart's frame) is composed once per frame
// size and pixel density and copied under every redraw, and a chart whose satellites read as at
// its last composition is not composed again: a paint copies it.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

#include "nmea/receiver_state.h"
#include "platform/qt/box_cache.h"
#include "window/sky_plot.h"

namespace pathlux {

class ChartCache {
  public:
    // Whether the chart of this state would look as the one last composed.
    bool SkyUnchanged(const ReceiverState& state) const;
    bool BarsUnchanged(const ReceiverState& state) const;

    // The chart of the state for a frame of that size, composed at zoom x screenRatio pixels a
    // frame pixel and marked as an image of the screen's pixel ratio. The sky plot's style is the
    // window's, the same at every call.
    const QImage& Sky(const ReceiverState& state, QSize frame, const SkyPlotStyle& style,
                      qreal zoom, qreal screenRatio);
    // Raises the state's maxSnr as every composition of the bars does.
    const QImage& Bars(ReceiverState& state, QSize frame, qreal zoom, qreal screenRatio);

  private:
    struct Chart {
        std::vector<std::int32_t> shows;  // what the image shows, as the state read
        QSize frame;
        qreal zoom = 0;
        qreal screenRatio = 0;
        QImage background;  // of the frame at the zoom and ratio
        QImage image;
        // Whether the image must be composed again; takes a new background when the frame, the
        // zoom or the screen changed.
        bool Stale(std::vector<std::int32_t> now, QSize size, qreal zoomNow, qreal ratioNow,
                   QImage (*compose)(std::int32_t, std::int32_t, qreal));
        // The image composed, marked for the screen.
        const QImage& Keep(QImage composed);
    };
    Chart sky_;
    Chart bars_;
    // The numbers and discs of both charts, so that a redraw draws only those it has not drawn
    // before over the same pixels.
    platform::BoxCache kept_;
};

}  // namespace pathlux
