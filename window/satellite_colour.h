// The colour a satellite has on the charts: used SBAS red, used GPS green in a 3D fix else blue,
// any other grey. The two charts differ only in their blue and grey.
#pragma once

#include <QColor>
#include <cstdint>

#include "nmea/receiver_state.h"

namespace pathlux {

struct ChartColours {
    QColor usedWithout3d;
    QColor unused;
};

inline const ChartColours kSkyPlotColours{QColor(0, 0, 255), QColor(128, 128, 128)};
inline const ChartColours kSignalBarColours{QColor(0, 60, 180), QColor(150, 150, 150)};

QColor SatelliteColour(const SatelliteRecord& record, std::int32_t prn, std::int32_t fix3d,
                       const ChartColours& chart);

}  // namespace pathlux
