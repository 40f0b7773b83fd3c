#include "nmea/constellation.h"

#include <algorithm>

namespace pathlux {
namespace {

// Indexed by Talker.
constexpr std::optional<Constellation> kTalkerSystems[] = {
    Constellation::kGps,    std::nullopt,         Constellation::kGlonass, Constellation::kGalileo,
    Constellation::kBeidou, Constellation::kQzss, Constellation::kNavic,
};
static_assert(std::size(kTalkerSystems) == kTalkers);

// NMEA 4.10 system ids 1 to 6.
constexpr Constellation kSystemIds[] = {
    Constellation::kGps,    Constellation::kGlonass, Constellation::kGalileo,
    Constellation::kBeidou, Constellation::kQzss,    Constellation::kNavic,
};

// The extended numbering of NMEA 2.x to 4.0 receivers (u-blox "extended" included): ranges of
// numbers, the system and the system's number of the first.
struct NumberRange {
    std::int32_t first;
    std::int32_t last;
    Constellation system;
    std::int32_t systemFirst;
};
constexpr NumberRange kExtendedNumbers[] = {
    {1, 32, Constellation::kGps, 1},       {33, 64, Constellation::kSbas, 120},
    {65, 96, Constellation::kGlonass, 1},  {120, 158, Constellation::kSbas, 120},
    {193, 202, Constellation::kQzss, 1},   {301, 336, Constellation::kGalileo, 1},
    {401, 463, Constellation::kBeidou, 1},
};

// Signals of the L1 band (1575 MHz and BeiDou's B1), as bits by NMEA 4.11 signal id: GPS L1 C/A,
// P(Y), M; SBAS L1; GLONASS G1 C/A, P; Galileo E1 A, B/C; BeiDou B1I, B1Q, B1C, B1A; QZSS L1 C/A,
// L1C (D), L1C (P), LIS; NavIC L1. Indexed by Constellation.
constexpr std::uint16_t kL1Signals[] = {
    0b1110, 0b10, 0b110, 0b1100'0000, 0b1'1110, 0b1'1110, 0b10'0000,
};
static_assert(std::size(kL1Signals) == kConstellations);

constexpr int kSignalIds = 16;  // one hexadecimal digit

}  // namespace

std::optional<Constellation> SystemOfTalker(Talker talker) {
    return kTalkerSystems[static_cast<int>(talker)];
}

std::optional<Constellation> SystemOfId(std::int32_t systemId) {
    if (systemId < 1 || systemId > static_cast<std::int32_t>(std::size(kSystemIds))) {
        return std::nullopt;
    }
    return kSystemIds[systemId - 1];
}

SatelliteId ResolveSatellite(std::optional<Constellation> system, std::int32_t number) {
    if (number <= 0) {
        return {};  // empty fields of a GSA, mostly
    }
    if (number <= 32 && system.value_or(Constellation::kGps) == Constellation::kGps) {
        return {Constellation::kGps, number};
    }
    if (system.has_value() && *system != Constellation::kGps && *system != Constellation::kSbas) {
        const ConstellationInfo& info = InfoOf(*system);
        if (number >= info.first && number <= info.last) {
            return {*system, number};
        }
        for (const NumberRange& range : kExtendedNumbers) {
            if (range.system == *system && number >= range.first && number <= range.last) {
                return {*system, number - range.first + range.systemFirst};
            }
        }
        return {};
    }
    for (const NumberRange& range : kExtendedNumbers) {
        if (number >= range.first && number <= range.last) {
            return {range.system, number - range.first + range.systemFirst};
        }
    }
    return {};
}

bool IsL1Signal(std::optional<Constellation> system, std::int32_t signalId) {
    if (signalId < 0 || signalId >= kSignalIds) {
        return false;
    }
    const std::uint16_t l1 = kL1Signals[static_cast<int>(system.value_or(Constellation::kGps))];
    return signalId == 0 || (l1 & (1u << signalId)) != 0;
}

int SignalOrder(std::optional<Constellation> system, std::int32_t signalId) {
    const int id = std::clamp(signalId, 0, kSignalIds - 1);
    return (IsL1Signal(system, signalId) ? 0 : kSignalIds) + id;
}

}  // namespace pathlux
