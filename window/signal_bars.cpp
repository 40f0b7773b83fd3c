#include "window/signal_bars.h"

#include <QString>

#include "platform/qt/draw_surface.h"
#include "window/bar_geometry.h"
#include "window/satellite_colour.h"

namespace pathlux {
namespace {

using platform::DrawSurface;

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

constexpr std::int32_t kTextHeight = 12;
constexpr std::int32_t kSnrCeiling = 70;

// Cell height 12, character width 6.
constexpr int kFontHeight = 12;
constexpr int kFontWidth = 6;

}  // namespace

QImage ComposeBarsBackground(std::int32_t width, std::int32_t height, qreal devicePixelRatio) {
    DrawSurface surface(width - 1, height - 1, devicePixelRatio);
    surface.FillRect({0, 0, width, height}, kWhite);
    surface.EtchedEdge({0, 0, width, height});
    return surface.Finish();
}

QImage ComposeSignalBarsOn(const QImage& background, ReceiverState& state, std::int32_t width,
                           std::int32_t height, platform::BoxCache* kept) {
    const QFont font = platform::CreateCellFont(kFontHeight, kFontWidth);
    DrawSurface surface(background, kept);
    const int n = BarsToDraw(state);
    state.maxSnr = RaisedMaxSnr(state, n);
    if (n <= 0) {
        return surface.Finish();
    }
    const BarLayout layout = LayoutBars(width, height, n);
    for (int i = 0; i < n; ++i) {
        const ShownSatellite satellite = state.Shown(i);
        const SatelliteRecord& record = *satellite.record;
        const Rect label = BarLabelBox(layout, i);
        surface.TextInBox(QString::number(satellite.label), label, font,
                          SystemColour(satellite).value_or(kBlack), kWhite);

        surface.EtchedEdge(BarBox(layout, i));
        const Rect area = BarArea(layout, i);
        surface.FillRect(area, kWhite);
        const std::int32_t top = BarTop(layout, state.maxSnr, record.snr);
        const QColor colour = SatelliteColour(satellite, state.fix3d, kSignalBarColours);
        surface.FillRect({area.left, top, area.right, area.bottom}, colour);

        if (record.snr <= 0 || record.snr >= kSnrCeiling) {
            continue;
        }
        const QString value = QString::number(record.snr);
        if (area.bottom - top >= kTextHeight) {
            surface.TextInBox(value, {label.left, top, label.right, top + kTextHeight}, font,
                              kWhite, std::nullopt);
        } else {
            surface.TextInBox(value, {label.left, top - kTextHeight, label.right, top}, font,
                              kBlack, kWhite);
        }
    }
    return surface.Finish();
}

QImage ComposeSignalBars(ReceiverState& state, std::int32_t width, std::int32_t height,
                         qreal devicePixelRatio) {
    return ComposeSignalBarsOn(ComposeBarsBackground(width, height, devicePixelRatio), state, width,
                               height);
}

}  // namespace pathlux
