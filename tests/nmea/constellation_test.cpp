#include "nmea/constellation.h"

#include <gtest/gtest.h>

namespace pathlux {
namespace {

constexpr auto kGps = Constellation::kGps;
constexpr auto kSbas = Constellation::kSbas;
constexpr auto kGlonass = Constellation::kGlonass;
constexpr auto kGalileo = Constellation::kGalileo;
constexpr auto kBeidou = Constellation::kBeidou;
constexpr auto kQzss = Constellation::kQzss;

struct NumberCase {
    const char* legend;
    std::optional<Constellation> system;  // of the talker or the system id
    std::int32_t number;
    SatelliteId expected;  // number 0: no satellite
};

TEST(constellation_test, NumbersResolveByTheirSystemOrTheExtendedNumbering) {
    const NumberCase cases[] = {
        {"GPS", std::nullopt, 32, {kGps, 32}},
        {"SBAS in NMEA numbering", std::nullopt, 33, {kSbas, 120}},
        {"SBAS by PRN", kGps, 158, {kSbas, 158}},
        {"GLONASS extended", std::nullopt, 96, {kGlonass, 32}},
        {"QZSS extended", kGps, 193, {kQzss, 1}},
        {"between the ranges", std::nullopt, 97, {}},
        {"above SBAS", kGps, 159, {}},
        {"GLONASS 65-96 under its talker", kGlonass, 65, {kGlonass, 1}},
        {"Galileo extended under its talker", kGalileo, 336, {kGalileo, 36}},
        {"Galileo past its numbers", kGalileo, 37, {}},
        {"BeiDou extended under its talker", kBeidou, 463, {kBeidou, 63}},
        {"an empty field", kGalileo, 0, {}},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const SatelliteId id = ResolveSatellite(c.system, c.number);
        EXPECT_EQ(static_cast<int>(id.system), static_cast<int>(c.expected.system));
        EXPECT_EQ(id.number, c.expected.number);
    }
}

}  // namespace
}  // namespace pathlux
