#include "window/satellite_colour.h"

namespace pathlux {

QColor SatelliteColour(const SatelliteRecord& record, std::int32_t prn, std::int32_t fix3d,
                       const ChartColours& chart) {
    if (record.used != 1) {
        return chart.unused;
    }
    if (IsSbasPrn(prn)) {
        return QColor(255, 0, 0);
    }
    return fix3d != 0 ? QColor(0, 180, 60) : chart.usedWithout3d;
}

}  // namespace pathlux
