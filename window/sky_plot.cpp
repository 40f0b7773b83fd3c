#include "window/sky_plot.h"

#include <QString>

#include "platform/qt/draw_surface.h"
#include "window/satellite_colour.h"

namespace pathlux {
namespace {

using platform::DrawSurface;
using platform::LineStyle;
using platform::Rect;

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);       // rings and spokes
constexpr std::int32_t kSystemRing = 2;  // pixels

// Boxes around a point, worked in 64 bits: a projected point may sit at the integer limits.
Rect BoxAround(Point centre, std::int32_t radius) {
    const auto clamp = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
    };
    return {clamp(std::int64_t{centre.x} - radius), clamp(std::int64_t{centre.y} - radius),
            clamp(std::int64_t{centre.x} + radius), clamp(std::int64_t{centre.y} + radius)};
}

}  // namespace

QImage ComposeSkyBackground(std::int32_t width, std::int32_t height, qreal devicePixelRatio) {
    DrawSurface surface(width, height, devicePixelRatio);
    const Rect inner = surface.EtchedEdge({0, 0, width, height});
    surface.FillRect(inner, kWhite);

    const SkyGeometry geometry = SkyGeometryOf(width, height);
    const Point centre = geometry.skyCentre;
    const auto radius = static_cast<std::int32_t>(geometry.skyRadius);
    surface.OutlinedEllipse(BoxAround(centre, radius), kBlack, kBlack);

    for (int ring = 1; ring <= kSkyRings; ++ring) {
        surface.OutlinedEllipse(BoxAround(centre, SkyRingRadius(geometry.skyRadius, ring)), kGrey,
                                std::nullopt);
    }
    for (int spoke = 0; spoke < kSkySpokes; ++spoke) {
        surface.Line(centre, SkyToPoint(geometry, spoke * kSkySpokeStep, 0.0), kGrey,
                     LineStyle::kDashed);
    }
    return surface.Finish();
}

QImage ComposeSkyPlotOn(const QImage& background, const ReceiverState& state, std::int32_t width,
                        std::int32_t height, const SkyPlotStyle& style, SkyGeometry& geometry,
                        platform::BoxCache* kept) {
    DrawSurface surface(background, kept);
    geometry = SkyGeometryOf(width, height);
    const std::int32_t half = style.labelBox / 2;
    const int entries = state.ShownCount();
    for (int j = 0; j < entries; ++j) {
        const ShownSatellite satellite = state.Shown(j);
        const SatelliteRecord& record = *satellite.record;
        if (!((record.azimuth != 0 && record.elevation != 0) || record.snr != 0)) {
            continue;
        }
        const Point p = SkyToPoint(geometry, record.azimuth, record.elevation);
        const QColor colour = SatelliteColour(satellite, state.fix3d, kSkyPlotColours);
        const std::optional<QColor> system = SystemColour(satellite);
        if (record.used != 1 && system.has_value()) {
            // An unused satellite of another system: a grey disc in a ring of its colour.
            surface.FilledEllipse(BoxAround(p, style.dotRadius), *system);
            surface.FilledEllipse(BoxAround(p, style.dotRadius - kSystemRing), colour);
        } else {
            surface.FilledEllipse(BoxAround(p, style.dotRadius), colour);
        }
        surface.TextInBox(QString::number(satellite.label), BoxAround(p, half), style.labelFont,
                          kWhite, std::nullopt);
    }
    return surface.Finish();
}

QImage ComposeSkyPlot(const ReceiverState& state, std::int32_t width, std::int32_t height,
                      const SkyPlotStyle& style, qreal devicePixelRatio, SkyGeometry& geometry) {
    return ComposeSkyPlotOn(ComposeSkyBackground(width, height, devicePixelRatio), state, width,
                            height, style, geometry);
}

}  // namespace pathlux
