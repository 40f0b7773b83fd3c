#include "window/satellite_colour.h"

#include <iterator>

namespace pathlux {
namespace {

// Indexed by Constellation; GPS and SBAS have the chart colours instead. Dark enough to read as
// the colour of a number on white, distinct from GPS green and blue and SBAS red.
const std::optional<QColor> kSystemColours[] = {
    std::nullopt,          // GPS
    std::nullopt,          // SBAS
    QColor(230, 120, 0),   // GLONASS: orange
    QColor(140, 50, 210),  // Galileo: violet
    QColor(0, 150, 150),   // BeiDou: teal
    QColor(210, 0, 140),   // QZSS: magenta
    QColor(130, 75, 30),   // NavIC: brown
};
static_assert(std::size(kSystemColours) == kConstellations);

}  // namespace

std::optional<QColor> SystemColour(const ShownSatellite& satellite) {
    if (!satellite.id.valid()) {
        return std::nullopt;
    }
    return kSystemColours[static_cast<int>(satellite.id.system)];
}

QColor SatelliteColour(const ShownSatellite& satellite, std::int32_t fix3d,
                       const ChartColours& chart) {
    if (satellite.record->used != 1) {
        return chart.unused;
    }
    if (const std::optional<QColor> system = SystemColour(satellite)) {
        return *system;
    }
    if (satellite.id.system == Constellation::kSbas) {
        return QColor(255, 0, 0);
    }
    return fix3d != 0 ? QColor(0, 180, 60) : chart.usedWithout3d;
}

}  // namespace pathlux
