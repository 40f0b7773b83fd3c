// A simple sky: GPS satellites on circular orbits (six planes inclined 55°, half a sidereal day
// per revolution) and geostationary SBAS satellites, seen from one place on a spherical Earth.
// Believable rather than exact: no almanac, no perturbations.
#pragma once

#include <cstdint>
#include <vector>

namespace pathlux::sim {

struct Place {
    double latitudeDeg = 0;   // north positive
    double longitudeDeg = 0;  // east positive
    double altitudeM = 0;
};

struct SkySatellite {
    int prn = 0;
    double elevationDeg = 0;
    double azimuthDeg = 0;  // 0 to below 360, clockwise from north
};

constexpr int kGpsSatelliteCount = 32;  // PRN 1 to 32
constexpr double kGpsElevationMaskDeg = 5.0;
// SBAS satellites lower than this are not tracked.
constexpr double kSbasElevationMaskDeg = 10.0;
constexpr int kMaxSbasInView = 3;

// Elevation and azimuth of one GPS PRN (1 to 32) at a time in seconds since 1970 (UTC).
SkySatellite GpsSatellite(int prn, const Place& place, std::int64_t utcSeconds);

// GPS satellites above the mask, in PRN order, then the highest SBAS satellites (at most three,
// in PRN order).
std::vector<SkySatellite> SatellitesInView(const Place& place, std::int64_t utcSeconds);

struct Dops {
    bool valid = false;  // false when the geometry gives no solution
    double pdop = 0;
    double hdop = 0;
    double vdop = 0;
};

// Dilution of precision of a solution with these satellites: position and clock for a 3D
// solution (at least four satellites), horizontal position and clock for a 2D one (at least
// three, altitude held; PDOP is then the HDOP and VDOP is not valid).
Dops ComputeDops(const std::vector<SkySatellite>& used, bool threeD);

}  // namespace pathlux::sim
