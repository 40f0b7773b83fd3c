// Satellite systems, the talkers that speak for them, and how receivers number their satellites
// in GSV and GSA sentences.
#pragma once

#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>

namespace pathlux {

// In the order the charts list them.
enum class Constellation : std::uint8_t { kGps, kSbas, kGlonass, kGalileo, kBeidou, kQzss, kNavic };
constexpr int kConstellations = 7;

// A satellite as its own system numbers it: GPS PRN 1-32, SBAS PRN 120-158, GLONASS slot 1-32,
// Galileo 1-36, BeiDou 1-63, QZSS 1-10, NavIC 1-14. Number 0 is no satellite.
struct SatelliteId {
    Constellation system = Constellation::kGps;
    std::int32_t number = 0;

    bool valid() const { return number != 0; }
    friend bool operator==(const SatelliteId&, const SatelliteId&) = default;
};

struct ConstellationInfo {
    Constellation system;
    std::string_view code;  // the talker that speaks for it alone
    std::int32_t first;     // its satellites' numbers
    std::int32_t last;
};

// Indexed by Constellation.
inline constexpr ConstellationInfo kConstellationInfo[] = {
    {Constellation::kGps, "GP", 1, 32},     {Constellation::kSbas, "GP", 120, 158},
    {Constellation::kGlonass, "GL", 1, 32}, {Constellation::kGalileo, "GA", 1, 36},
    {Constellation::kBeidou, "GB", 1, 63},  {Constellation::kQzss, "GQ", 1, 10},
    {Constellation::kNavic, "GI", 1, 14},
};
static_assert(std::size(kConstellationInfo) == kConstellations);

constexpr const ConstellationInfo& InfoOf(Constellation system) {
    return kConstellationInfo[static_cast<int>(system)];
}

// The talkers whose RMC, GGA, GSA and GSV sentences are read. BD is BeiDou's older talker and
// reads as GB.
enum class Talker : std::uint8_t { kGp, kGn, kGl, kGa, kGb, kGq, kGi };
constexpr int kTalkers = 7;

// The system a talker speaks for; none for GN (combined), whose numbers say it.
std::optional<Constellation> SystemOfTalker(Talker talker);

// The system of an NMEA 4.10 system id (1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou, 5 QZSS,
// 6 NavIC); none for any other value.
std::optional<Constellation> SystemOfId(std::int32_t systemId);

// The satellite a GSV or GSA number stands for. With a system (from the talker or a system id)
// the number is read within that system, in its own numbering or in the extended one (GLONASS
// 65-96, Galileo 301-336, BeiDou 401-463, QZSS 193-202); GPS reads the extended numbering. Without
// a system the extended numbering decides: 1-32 GPS, 33-64 SBAS (PRN 120-151), 65-96 GLONASS,
// 120-158 SBAS, 193-202 QZSS, 301-336 Galileo, 401-463 BeiDou. Any other number is no satellite.
SatelliteId ResolveSatellite(std::optional<Constellation> system, std::int32_t number);

// True for a signal of the L1 band (1575 MHz, and BeiDou's B1) and for signal id 0 or none:
// the signal a satellite of a receiver of several signals is shown with.
bool IsL1Signal(std::optional<Constellation> system, std::int32_t signalId);

// The order in which the cycles of one talker's signals are read: signals of the L1 band (and a
// GSV without signal id, or id 0) first, so that a satellite seen on several signals shows with
// its L1 signal; then by signal id.
int SignalOrder(std::optional<Constellation> system, std::int32_t signalId);

}  // namespace pathlux
