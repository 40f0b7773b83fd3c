// The colour a satellite has on the charts: used SBAS red, used GPS green in a 3D fix else blue,
// a used satellite of another system in that system's colour, any other grey. The two charts
// differ only in their blue and grey. Satellites of systems other than GPS and SBAS carry their
// system's colour unused too: as a ring round the grey disc, and as the colour of their number
// under the bar.
#pragma once

#include <QColor>
#include <cstdint>
#include <optional>

#include "nmea/receiver_state.h"

namespace pathlux {

struct ChartColours {
    QColor usedWithout3d;
    QColor unused;
};

inline const ChartColours kSkyPlotColours{QColor(0, 0, 255), QColor(128, 128, 128)};
inline const ChartColours kSignalBarColours{QColor(0, 60, 180), QColor(150, 150, 150)};

QColor SatelliteColour(const ShownSatellite& satellite, std::int32_t fix3d,
                       const ChartColours& chart);

// The colour that tells a satellite's system whether used or not; none for GPS and SBAS (and a
// number that names no satellite), which look as they always have.
std::optional<QColor> SystemColour(const ShownSatellite& satellite);

}  // namespace pathlux
