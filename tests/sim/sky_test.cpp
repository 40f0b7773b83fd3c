#include "tools/sim/sky.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace pathlux::sim {
namespace {

constexpr std::int64_t kNoon = 1796558400;  // 2026-12-06 12:00:00 UTC
constexpr std::int64_t kSiderealDay = 86164;

struct PlaceCase {
    const char* legend;
    Place place;
    int minSbas;
};

const PlaceCase kPlaces[] = {
    {"Munich", {48.1173, 11.5167, 545.4}, 3},
    {"Sydney", {-33.87, 151.21, 20}, 2},
    {"Quito, on the equator", {-0.18, -78.47, 2850}, 2},
    {"Svalbard, far north", {78.22, 15.65, 10}, 0},
};

TEST(sim_sky_test, GpsSatellitesCrossTheSkyAndRepeatAfterASiderealDay) {
    for (const PlaceCase& c : kPlaces) {
        SCOPED_TRACE(c.legend);
        for (int prn = 1; prn <= kGpsSatelliteCount; ++prn) {
            const SkySatellite now = GpsSatellite(prn, c.place, kNoon);
            const SkySatellite later = GpsSatellite(prn, c.place, kNoon + 600);
            const SkySatellite nextDay = GpsSatellite(prn, c.place, kNoon + kSiderealDay);
            EXPECT_EQ(now.prn, prn);
            EXPECT_GE(now.azimuthDeg, 0.0);
            EXPECT_LT(now.azimuthDeg, 360.0);
            EXPECT_GE(now.elevationDeg, -90.0);
            EXPECT_LE(now.elevationDeg, 90.0);
            // Ten minutes move a GPS satellite by degrees, not by nothing.
            EXPECT_GT(std::hypot(later.elevationDeg - now.elevationDeg,
                                 std::remainder(later.azimuthDeg - now.azimuthDeg, 360.0) *
                                     std::cos(now.elevationDeg * 3.14159 / 180)),
                      0.5);
            EXPECT_NEAR(nextDay.elevationDeg, now.elevationDeg, 0.5);
        }
    }
}

TEST(sim_sky_test, ViewHoldsEnoughGpsAndTwoOrThreeFixedSbasSatellites) {
    for (const PlaceCase& c : kPlaces) {
        SCOPED_TRACE(c.legend);
        std::vector<SkySatellite> sbasAtStart;
        int fewestGps = 99;
        for (std::int64_t t = kNoon; t < kNoon + 86400; t += 600) {
            const std::vector<SkySatellite> view = SatellitesInView(c.place, t);
            std::vector<SkySatellite> sbas;
            int gps = 0;
            int lastPrn = 0;
            for (const SkySatellite& s : view) {
                EXPECT_GT(s.prn, lastPrn) << "GPS first, then SBAS, each in PRN order";
                lastPrn = s.prn;
                if (s.prn <= kGpsSatelliteCount) {
                    EXPECT_GE(s.elevationDeg, kGpsElevationMaskDeg);
                    ++gps;
                } else {
                    EXPECT_GE(s.prn, 120);
                    EXPECT_LE(s.prn, 138);
                    sbas.push_back(s);
                }
            }
            fewestGps = std::min(fewestGps, gps);
            EXPECT_GE(static_cast<int>(sbas.size()), c.minSbas);
            EXPECT_LE(static_cast<int>(sbas.size()), kMaxSbasInView);
            if (t == kNoon) {
                sbasAtStart = sbas;
            }
            ASSERT_EQ(sbas.size(), sbasAtStart.size());
            for (std::size_t i = 0; i < sbas.size(); ++i) {
                EXPECT_EQ(sbas[i].prn, sbasAtStart[i].prn);
                EXPECT_DOUBLE_EQ(sbas[i].elevationDeg, sbasAtStart[i].elevationDeg);
                EXPECT_DOUBLE_EQ(sbas[i].azimuthDeg, sbasAtStart[i].azimuthDeg);
            }
        }
        EXPECT_GE(fewestGps, 4) << "a fix is possible all day";
    }
}

TEST(sim_sky_test, MoreThanTwelveInViewAtTimes) {
    const Place munich = {48.1173, 11.5167, 545.4};
    int most = 0;
    for (std::int64_t t = kNoon; t < kNoon + 86400; t += 300) {
        most = std::max(most, static_cast<int>(SatellitesInView(munich, t).size()));
    }
    EXPECT_GT(most, 12);
}

struct DopCase {
    const char* legend;
    std::vector<SkySatellite> used;
    bool threeD;
    Dops expected;
};

const DopCase kDopCases[] = {
    {"zenith and three on the horizon",
     {{1, 90, 0}, {2, 0, 0}, {3, 0, 120}, {4, 0, 240}},
     true,
     {true, std::sqrt(8.0 / 3), std::sqrt(4.0 / 3), std::sqrt(4.0 / 3)}},
    {"three on the horizon, 2D",
     {{2, 0, 0}, {3, 0, 120}, {4, 0, 240}},
     false,
     {true, std::sqrt(4.0 / 3), std::sqrt(4.0 / 3), 0}},
    {"three are too few for 3D", {{2, 0, 0}, {3, 0, 120}, {4, 0, 240}}, true, {}},
    {"two are too few for 2D", {{2, 0, 0}, {3, 0, 120}}, false, {}},
    {"all in one direction", {{1, 30, 45}, {2, 30, 45}, {3, 30, 45}, {4, 30, 45}}, true, {}},
};

TEST(sim_sky_test, DopsFollowFromTheGeometry) {
    for (const DopCase& c : kDopCases) {
        SCOPED_TRACE(c.legend);
        const Dops dops = ComputeDops(c.used, c.threeD);
        EXPECT_EQ(dops.valid, c.expected.valid);
        EXPECT_NEAR(dops.pdop, c.expected.pdop, 1e-6);
        EXPECT_NEAR(dops.hdop, c.expected.hdop, 1e-6);
        EXPECT_NEAR(dops.vdop, c.expected.vdop, 1e-6);
    }
}

TEST(sim_sky_test, MoreSatellitesNeverWorsenTheDops) {
    const Place munich = {48.1173, 11.5167, 545.4};
    const std::vector<SkySatellite> view = SatellitesInView(munich, kNoon);
    ASSERT_GE(view.size(), 6u);
    double previous = 1e9;
    for (std::size_t n = 4; n <= view.size(); ++n) {
        SCOPED_TRACE(n);
        const Dops dops = ComputeDops({view.begin(), view.begin() + static_cast<long>(n)}, true);
        ASSERT_TRUE(dops.valid);
        EXPECT_GE(dops.pdop, 1.0);
        EXPECT_LE(dops.pdop, previous + 1e-9);
        EXPECT_NEAR(dops.pdop * dops.pdop, dops.hdop * dops.hdop + dops.vdop * dops.vdop, 1e-9);
        previous = dops.pdop;
    }
}

}  // namespace
}  // namespace pathlux::sim
