#include "window/sky_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace pathlux {
namespace {

struct FrameCase {
    const char* legend;
    int width;
    int height;
    double radius;
    Point centre;
};

TEST(sky_geometry_test, RadiusAndCentreOfAFrame) {
    const FrameCase cases[] = {
        {"130 x 128", 130, 128, 62.0, {64, 63}},
        {"100 x 140", 100, 140, 48.0, {49, 69}},
        {"square 84", 84, 84, 40.0, {41, 41}},
        {"odd 131 x 129", 131, 129, 62.0, {64, 63}},
        {"the window's frame 144 x 140", 144, 140, 68.0, {71, 69}},
        {"too small for a disc", 4, 4, 0.0, {1, 1}},
        {"smaller than its border", 2, 3, -1.0, {0, 1}},  // nothing is drawn
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const SkyGeometry geometry = SkyGeometryOf(c.width, c.height);
        EXPECT_EQ(geometry.skyRadius, c.radius);
        EXPECT_EQ(geometry.skyCentre, c.centre);
    }
}

TEST(sky_geometry_test, RingRadiiOfTheFiveElevationCircles) {
    struct RingCase {
        const char* legend;
        double radius;
        int ring;
        std::int32_t expected;
    };
    const RingCase cases[] = {
        {"75 degrees", 62.0, 1, 10}, {"60 degrees", 62.0, 2, 20},
        {"45 degrees", 62.0, 3, 31}, {"30 degrees", 62.0, 4, 41},
        {"15 degrees", 62.0, 5, 51}, {"radius 48, ring 5", 48.0, 5, 40},
        {"radius 0", 0.0, 3, 0},
    };
    for (const RingCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(SkyRingRadius(c.radius, c.ring), c.expected);
    }
}

struct PointCase {
    const char* legend;
    double azimuth;
    double elevation;
    Point expected;
};

TEST(sky_geometry_test, ProjectionIn130By128Frame) {
    const SkyGeometry geometry = SkyGeometryOf(130, 128);
    const PointCase cases[] = {
        {"spoke north", 0, 0, {63, 1}},
        {"spoke east", 90, 0, {125, 62}},
        {"spoke south", 180, 0, {64, 124}},
        {"spoke west", 270, 0, {2, 63}},
        {"azimuth 45 elevation 30", 45, 30, {93, 33}},
        {"zenith", 0, 90, {64, 63}},
        {"zenith from any azimuth", 200, 90, {64, 63}},
        {"azimuth 360 is north", 360, 0, {63, 1}},
        {"below the horizon lies outside", 0, -90, {63, -60}},
    };
    for (const PointCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(SkyToPoint(geometry, c.azimuth, c.elevation), c.expected);
    }
}

TEST(sky_geometry_test, AzimuthToAngleUsesTheShortPi) {
    struct AngleCase {
        const char* legend;
        double azimuth;
        double expected;
    };
    const AngleCase cases[] = {
        {"north is a quarter turn up", 0, 270 * 0.017453277777777776},
        {"east", 90, 360 * 0.017453277777777776},
        {"west", 270, 540 * 0.017453277777777776},
        {"negative azimuth", -90, 180 * 0.017453277777777776},
    };
    for (const AngleCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_DOUBLE_EQ(AzimuthToAngle(c.azimuth), c.expected);
    }
}

TEST(sky_geometry_test, ProjectionOfValuesNoReceiverShouldSendSaturates) {
    const SkyGeometry geometry = SkyGeometryOf(130, 128);
    constexpr double kHuge = 4.0e9;
    EXPECT_EQ(SkyToPoint(geometry, 180, -kHuge).y, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(SkyToPoint(geometry, 270, -kHuge).x, std::numeric_limits<std::int32_t>::min());
    const Point nan = SkyToPoint(geometry, std::nan(""), 0);
    EXPECT_EQ(nan, (Point{0, 0}));
}

}  // namespace
}  // namespace pathlux
