#include "window/sky_geometry.h"

#include <algorithm>
#include <cmath>

#include "nmea/fields.h"

namespace pathlux {
namespace {

constexpr double kRadiansPerDegree = 0.017453277777777776;  // 3.14159 / 180
constexpr double kOneNinetieth = 0.011111111111111112;
constexpr double kOneSixth = 0.16666666666666666;

}  // namespace

SkyGeometry SkyGeometryOf(std::int32_t width, std::int32_t height) {
    SkyGeometry geometry;
    geometry.skyRadius = static_cast<double>((std::min(width, height) - 4) / 2);
    geometry.skyCentre = {(width - 4) / 2 + 1, (height - 4) / 2 + 1};
    return geometry;
}

double AzimuthToAngle(double azimuth) {
    return ((azimuth + 360.0) - 90.0) * kRadiansPerDegree;
}

Point SkyToPoint(const SkyGeometry& geometry, double azimuth, double elevation) {
    const double rho = ((90.0 - elevation) * geometry.skyRadius) * kOneNinetieth;
    const double theta = AzimuthToAngle(azimuth);
    return {TruncateToInt32(std::cos(theta) * rho + geometry.skyCentre.x),
            TruncateToInt32(std::sin(theta) * rho + geometry.skyCentre.y)};
}

std::int32_t SkyRingRadius(double skyRadius, int ring) {
    return TruncateToInt32((skyRadius * ring) * kOneSixth);
}

}  // namespace pathlux
