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

enum class GnssSystem : int { kGps, kSbas, kGlonass, kGalileo, kBeidou };

struct SkySatellite {
    int prn = 0;  // the satellite's number in its system (GLONASS: its slot)
    double elevationDeg = 0;
    double azimuthDeg = 0;  // 0 to below 360, clockwise from north
    GnssSystem system = GnssSystem::kGps;
};

// One number for a satellite of any system: the PRN for GPS and SBAS (as a GPS receiver numbers
// them), 1000 x system + number for the others.
int SatelliteKey(GnssSystem system, int prn);
inline int SatelliteKey(const SkySatellite& s) {
    return SatelliteKey(s.system, s.prn);
}

// Circular orbits in planes of equal inclination, their nodes evenly spaced, the slots of a
// plane evenly spaced round it and staggered from plane to plane.
struct Orbit {
    double radiusKm;
    double periodS;
    double inclinationDeg;
    int planes;
    double firstNodeDeg;
    double staggerDeg;  // of a plane's first slot against the plane before
    int slotsPerPlane;
};

// Where the satellite in a plane and slot of an orbit is seen, as number prn of a system.
SkySatellite OrbitSatellite(const Orbit& orbit, int plane, int slot, int prn, GnssSystem system,
                            const Place& place, std::int64_t utcSeconds);

// Where a geostationary satellite at a longitude is seen.
SkySatellite GeostationarySatellite(double longitudeDeg, int prn, GnssSystem system,
                                    const Place& place);

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
