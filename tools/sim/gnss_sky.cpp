#include "tools/sim/gnss_sky.h"

namespace pathlux::sim {
namespace {

// GLONASS: three planes of eight slots (1 to 24), 64.8°, 8/17 of a sidereal day.
constexpr Orbit kGlonass{25510.0, 40544.0, 64.8, 3, 25.0, 15.0, 8};
constexpr int kGlonassSlots = 24;
// Galileo: three planes of ten (E01 to E30), 56°, 10/17 of a sidereal day.
constexpr Orbit kGalileo{29600.0, 50680.0, 56.0, 3, 40.0, 12.0, 10};
constexpr int kGalileoSatellites = 30;
// BeiDou MEO: three planes of eight (C19 to C42), 55°, 7/13 of a sidereal day.
constexpr Orbit kBeidouMeo{27906.0, 46380.0, 55.0, 3, 70.0, 7.0, 8};
constexpr int kBeidouFirstMeo = 19;
constexpr int kBeidouMeoSatellites = 24;

struct Geostationary {
    int prn;
    double longitudeDeg;
};
// BeiDou's geostationary C01 to C05, over Asia.
constexpr Geostationary kBeidouGeo[] = {
    {1, 140.0}, {2, 80.0}, {3, 110.5}, {4, 160.0}, {5, 58.75},
};

void AddAboveMask(const SkySatellite& s, std::vector<SkySatellite>& view) {
    if (s.elevationDeg >= kGpsElevationMaskDeg) {
        view.push_back(s);
    }
}

}  // namespace

std::vector<SkySatellite> GnssSatellitesInView(const Place& place, std::int64_t utcSeconds) {
    std::vector<SkySatellite> view = SatellitesInView(place, utcSeconds);
    for (int i = 0; i < kGlonassSlots; ++i) {
        AddAboveMask(
            OrbitSatellite(kGlonass, i / kGlonass.slotsPerPlane, i % kGlonass.slotsPerPlane, i + 1,
                           GnssSystem::kGlonass, place, utcSeconds),
            view);
    }
    for (int i = 0; i < kGalileoSatellites; ++i) {
        AddAboveMask(OrbitSatellite(kGalileo, i % kGalileo.planes, i / kGalileo.planes, i + 1,
                                    GnssSystem::kGalileo, place, utcSeconds),
                     view);
    }
    // Geostationary numbers come first in BeiDou's numbering.
    for (const Geostationary& g : kBeidouGeo) {
        if (const SkySatellite s =
                GeostationarySatellite(g.longitudeDeg, g.prn, GnssSystem::kBeidou, place);
            s.elevationDeg >= kSbasElevationMaskDeg) {
            view.push_back(s);
        }
    }
    for (int i = 0; i < kBeidouMeoSatellites; ++i) {
        AddAboveMask(OrbitSatellite(kBeidouMeo, i % kBeidouMeo.planes, i / kBeidouMeo.planes,
                                    kBeidouFirstMeo + i, GnssSystem::kBeidou, place, utcSeconds),
                     view);
    }
    return view;
}

}  // namespace pathlux::sim
