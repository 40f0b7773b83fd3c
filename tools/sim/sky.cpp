#include "tools/sim/sky.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace pathlux::sim {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kEarthRadiusKm = 6371.0;
constexpr double kGpsOrbitRadiusKm = 26560.0;
constexpr double kGeostationaryRadiusKm = 42164.0;
constexpr double kGpsPeriodS = 43082.0;  // half a sidereal day
constexpr double kGpsInclinationDeg = 55.0;
constexpr int kGpsPlanes = 6;
constexpr std::int64_t kJ2000UnixSeconds = 946728000;  // 2000-01-01 12:00 UTC

struct SbasSatellite {
    int prn;
    double longitudeDeg;
};
// EGNOS, WAAS, GAGAN and MSAS slots, enough that most places see two or three.
constexpr SbasSatellite kSbasSatellites[] = {
    {120, -15.5},  {123, 31.5}, {127, 55.0},  {129, 140.0},  {131, -117.0},
    {133, -129.0}, {136, 5.0},  {137, 140.0}, {138, -107.3},
};

struct Vector3 {
    double x, y, z;
};

Vector3 PlaceEcef(const Place& place) {
    const double r = kEarthRadiusKm + place.altitudeM / 1000.0;
    const double lat = place.latitudeDeg * kDegree;
    const double lon = place.longitudeDeg * kDegree;
    return {r * std::cos(lat) * std::cos(lon), r * std::cos(lat) * std::sin(lon),
            r * std::sin(lat)};
}

SkySatellite LookAt(int prn, const Place& place, const Vector3& satellite) {
    const Vector3 me = PlaceEcef(place);
    const double dx = satellite.x - me.x;
    const double dy = satellite.y - me.y;
    const double dz = satellite.z - me.z;
    const double lat = place.latitudeDeg * kDegree;
    const double lon = place.longitudeDeg * kDegree;
    const double east = -std::sin(lon) * dx + std::cos(lon) * dy;
    const double north = -std::sin(lat) * std::cos(lon) * dx - std::sin(lat) * std::sin(lon) * dy +
                         std::cos(lat) * dz;
    const double up = std::cos(lat) * std::cos(lon) * dx + std::cos(lat) * std::sin(lon) * dy +
                      std::sin(lat) * dz;
    double azimuth = std::atan2(east, north) / kDegree;
    if (azimuth < 0) {
        azimuth += 360.0;
    }
    if (azimuth >= 360.0) {
        azimuth -= 360.0;
    }
    return {prn, std::atan2(up, std::hypot(east, north)) / kDegree, azimuth};
}

// Unit line of sight in east, north, up.
std::array<double, 3> LineOfSight(const SkySatellite& s) {
    const double el = s.elevationDeg * kDegree;
    const double az = s.azimuthDeg * kDegree;
    return {std::cos(el) * std::sin(az), std::cos(el) * std::cos(az), std::sin(el)};
}

// Inverts a symmetric positive matrix of size n (at most 4) in place; false when singular.
bool Invert(std::array<std::array<double, 8>, 4>& m, int n) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            m[i][n + j] = i == j ? 1.0 : 0.0;
        }
    }
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int row = col + 1; row < n; ++row) {
            if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) {
                pivot = row;
            }
        }
        if (std::fabs(m[pivot][col]) < 1e-9) {
            return false;
        }
        std::swap(m[pivot], m[col]);
        const double p = m[col][col];
        for (int j = 0; j < 2 * n; ++j) {
            m[col][j] /= p;
        }
        for (int row = 0; row < n; ++row) {
            if (row != col) {
                const double f = m[row][col];
                for (int j = 0; j < 2 * n; ++j) {
                    m[row][j] -= f * m[col][j];
                }
            }
        }
    }
    return true;
}

}  // namespace

int SatelliteKey(GnssSystem system, int prn) {
    return system == GnssSystem::kGps || system == GnssSystem::kSbas
               ? prn
               : 1000 * static_cast<int>(system) + prn;
}

SkySatellite OrbitSatellite(const Orbit& orbit, int plane, int slot, int prn, GnssSystem system,
                            const Place& place, std::int64_t utcSeconds) {
    const double t = static_cast<double>(utcSeconds - kJ2000UnixSeconds);
    const double node = (plane * (360.0 / orbit.planes) + orbit.firstNodeDeg) * kDegree;
    const double phase =
        (slot * 360.0 / static_cast<double>(orbit.slotsPerPlane) + plane * orbit.staggerDeg) *
        kDegree;
    const double u = phase + 2.0 * std::numbers::pi * std::fmod(t / orbit.periodS, 1.0);
    const double inc = orbit.inclinationDeg * kDegree;
    const double x = orbit.radiusKm *
                     (std::cos(u) * std::cos(node) - std::sin(u) * std::cos(inc) * std::sin(node));
    const double y = orbit.radiusKm *
                     (std::cos(u) * std::sin(node) + std::sin(u) * std::cos(inc) * std::cos(node));
    const double z = orbit.radiusKm * std::sin(u) * std::sin(inc);
    // Earth rotation: Greenwich sidereal angle.
    const double days = t / 86400.0;
    const double gmst = std::fmod(280.46061837 + 360.98564736629 * days, 360.0) * kDegree;
    const Vector3 ecef{x * std::cos(gmst) + y * std::sin(gmst),
                       -x * std::sin(gmst) + y * std::cos(gmst), z};
    SkySatellite seen = LookAt(prn, place, ecef);
    seen.system = system;
    return seen;
}

SkySatellite GeostationarySatellite(double longitudeDeg, int prn, GnssSystem system,
                                    const Place& place) {
    const double lon = longitudeDeg * kDegree;
    SkySatellite seen =
        LookAt(prn, place,
               {kGeostationaryRadiusKm * std::cos(lon), kGeostationaryRadiusKm * std::sin(lon), 0});
    seen.system = system;
    return seen;
}

SkySatellite GpsSatellite(int prn, const Place& place, std::int64_t utcSeconds) {
    // Six planes 60° apart in node, six slots round each, staggered 13° from plane to plane.
    constexpr Orbit kGps{
        kGpsOrbitRadiusKm, kGpsPeriodS, kGpsInclinationDeg, kGpsPlanes, 10.0, 13.0, 6};
    const int index = prn - 1;
    return OrbitSatellite(kGps, index % kGpsPlanes, index / kGpsPlanes, prn, GnssSystem::kGps,
                          place, utcSeconds);
}

std::vector<SkySatellite> SatellitesInView(const Place& place, std::int64_t utcSeconds) {
    std::vector<SkySatellite> view;
    for (int prn = 1; prn <= kGpsSatelliteCount; ++prn) {
        const SkySatellite s = GpsSatellite(prn, place, utcSeconds);
        if (s.elevationDeg >= kGpsElevationMaskDeg) {
            view.push_back(s);
        }
    }
    std::vector<SkySatellite> sbas;
    for (const SbasSatellite& g : kSbasSatellites) {
        const SkySatellite s =
            GeostationarySatellite(g.longitudeDeg, g.prn, GnssSystem::kSbas, place);
        if (s.elevationDeg >= kSbasElevationMaskDeg) {
            sbas.push_back(s);
        }
    }
    std::sort(sbas.begin(), sbas.end(), [](const SkySatellite& a, const SkySatellite& b) {
        return a.elevationDeg > b.elevationDeg;
    });
    if (sbas.size() > kMaxSbasInView) {
        sbas.resize(kMaxSbasInView);
    }
    std::sort(sbas.begin(), sbas.end(),
              [](const SkySatellite& a, const SkySatellite& b) { return a.prn < b.prn; });
    view.insert(view.end(), sbas.begin(), sbas.end());
    return view;
}

Dops ComputeDops(const std::vector<SkySatellite>& used, bool threeD) {
    const int n = threeD ? 4 : 3;
    if (static_cast<int>(used.size()) < n) {
        return {};
    }
    // Normal matrix of the design matrix rows (-e, -n, [-u,] 1).
    std::array<std::array<double, 8>, 4> m{};
    for (const SkySatellite& s : used) {
        const std::array<double, 3> los = LineOfSight(s);
        std::array<double, 4> row{};
        row[0] = -los[0];
        row[1] = -los[1];
        if (threeD) {
            row[2] = -los[2];
        }
        row[n - 1] = 1.0;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                m[i][j] += row[i] * row[j];
            }
        }
    }
    if (!Invert(m, n)) {
        return {};
    }
    Dops dops;
    dops.valid = true;
    dops.hdop = std::sqrt(m[0][n] + m[1][n + 1]);
    if (threeD) {
        dops.vdop = std::sqrt(m[2][n + 2]);
        dops.pdop = std::sqrt(m[0][n] + m[1][n + 1] + m[2][n + 2]);
    } else {
        dops.pdop = dops.hdop;
    }
    return dops;
}

}  // namespace pathlux::sim
