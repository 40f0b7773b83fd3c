// The charts' arithmetic as plain numbers: sky radius, centre, rings and projection; bar layout,
// boxes, tops, the scale and how many bars are drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "window/bar_geometry.h"
#include "window/sky_geometry.h"

namespace pathlux {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(geometry_test, SkyRadiusAndCentreOfAFrame) {
    const struct {
        int width, height;
        double radius;
        Point centre;
    } cases[] = {
        {130, 128, 62.0, {64, 63}}, {100, 140, 48.0, {49, 69}}, {131, 129, 62.0, {64, 63}},
        {4, 4, 0.0, {1, 1}},        {2, 3, -1.0, {0, 1}},  // smaller than its border: nothing drawn
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const SkyGeometry geometry = SkyGeometryOf(c.width, c.height);
        EXPECT_EQ(geometry.skyRadius, c.radius);
        EXPECT_EQ(geometry.skyCentre, c.centre);
    }
    EXPECT_EQ(SkyRingRadius(62.0, 1), 10) << "75 degrees";
    EXPECT_EQ(SkyRingRadius(62.0, 5), 51) << "15 degrees";
}

// North up, east right, pi taken as 3.14159; values no receiver should send saturate.
TEST(geometry_test, SkyProjection) {
    const SkyGeometry geometry = SkyGeometryOf(130, 128);
    const struct {
        const char* legend;
        double azimuth, elevation;
        Point expected;
    } cases[] = {
        {"north", 0, 0, {63, 1}},
        {"east", 90, 0, {125, 62}},
        {"azimuth 45 elevation 30", 45, 30, {93, 33}},
        {"zenith from any azimuth", 200, 90, {64, 63}},
        {"below the horizon lies outside", 0, -90, {63, -60}},
        {"not a number", std::nan(""), 0, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(SkyToPoint(geometry, c.azimuth, c.elevation), c.expected);
    }
    EXPECT_EQ(SkyToPoint(geometry, 180, -4.0e9).y, kMax) << "huge depression saturates";
    EXPECT_EQ(SkyToPoint(geometry, 270, -4.0e9).x, kMin);
    EXPECT_DOUBLE_EQ(AzimuthToAngle(0), 270 * 0.017453277777777776) << "the short pi";
}

// Twelve bars in 200 x 50: width 14, pitch 16.5, base 38; tops at scale 45.
TEST(geometry_test, BarLayoutAndBoxes) {
    const struct {
        const char* legend;
        int bars, index;
        Rect box, label, area;
    } cases[] = {
        {"first of twelve", 12, 0, {3, 3, 17, 38}, {4, 36, 16, 48}, {4, 4, 15, 36}},
        {"last of twelve", 12, 11, {184, 3, 198, 38}, {185, 36, 197, 48}, {185, 4, 196, 36}},
        {"single bar", 1, 0, {3, 3, 198, 38}, {94, 36, 106, 48}, {4, 4, 196, 36}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const BarLayout layout = LayoutBars(200, 50, c.bars);
        EXPECT_EQ(BarBox(layout, c.index), c.box);
        EXPECT_EQ(BarLabelBox(layout, c.index), c.label);
        EXPECT_EQ(BarArea(layout, c.index), c.area);
    }
    // Tops the bar chart's pictures do not show: rounding, a negative SNR, the 32-bit limits.
    const BarLayout twelve = LayoutBars(200, 50, 12);
    for (const auto& [snr, top] :
         {std::pair{44, 4}, {-45, 68}, {kMax, -1527099446}, {kMin, 1527099519}}) {
        EXPECT_EQ(BarTop(twelve, 45, snr), top) << snr;
    }
}

// The scale: the largest SNR below 70 met so far, never lowered; entries without record read 0.
// (How many entries are shown is the receiver state's rule.)
TEST(geometry_test, ScaleRisesBelow70AndNeverFalls) {
    const struct {
        const char* legend;
        std::int32_t start;
        std::int32_t prns[3];
        std::int32_t snrs[3];
        std::int32_t expected;
    } cases[] = {
        {"strongest wins", 20, {1, 2, 3}, {30, 45, 38}, 45},
        {"69 raises", 45, {1, 2, 3}, {69, 0, 0}, 69},
        {"70 never raises", 45, {1, 2, 3}, {70, 0, 0}, 45},
        {"never lowered", 60, {1, 2, 3}, {30, 40, 50}, 60},
        {"SBAS counts", 20, {120, 2, 3}, {33, 0, 0}, 33},
        {"no record reads 0", 20, {40, 139, -1}, {0, 0, 0}, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        ReceiverState state;
        state.maxSnr = c.start;
        for (std::size_t i = 0; i < 3; ++i) {
            state.inViewPrns[i] = c.prns[i];
            if (SatelliteRecord* record = state.FindRecord(c.prns[i])) {
                record->snr = c.snrs[i];
            }
        }
        EXPECT_EQ(RaisedMaxSnr(state, 3), c.expected);
    }
}

}  // namespace
}  // namespace pathlux
