// The sky of a receiver of several systems: GPS and SBAS as a GPS receiver sees them, and
// GLONASS, Galileo and BeiDou on orbits of their shape (MEO planes; BeiDou's geostationary
// satellites too). Believable rather than exact, as for GPS.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/sim/sky.h"

namespace pathlux::sim {

// Satellites above the mask: GPS and SBAS as SatellitesInView gives them, then GLONASS, Galileo
// and BeiDou, each in number order.
std::vector<SkySatellite> GnssSatellitesInView(const Place& place, std::int64_t utcSeconds);

}  // namespace pathlux::sim
