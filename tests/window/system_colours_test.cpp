// Satellites of systems other than GPS and SBAS on both charts: their system's colour when used,
// grey with their system's colour round the disc and on the number under the bar when not.
#include <gtest/gtest.h>

#include "platform/qt/draw_surface.h"
#include "tests/common/qt_test_app.h"
#include "window/signal_bars.h"
#include "window/sky_plot.h"

namespace pathlux {
namespace {

const QColor kOrange(230, 120, 0);
const QColor kViolet(140, 50, 210);
const QColor kTeal(0, 150, 150);
const QColor kSkyGrey(128, 128, 128);
const QColor kBarGrey(150, 150, 150);

// One satellite of another system shown, at azimuth 45 and elevation 30.
ReceiverState OneSatellite(SatelliteId id, std::int32_t used) {
    ReceiverState state;
    state.multiSystem = true;
    state.moreInView[0] = {id, id.number};
    state.moreInViewCount = 1;
    *state.FindRecord(id) = {45, 30, 45, used};
    return state;
}

int Count(const QImage& image, const QColor& colour, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            n += image.pixelColor(x, y) == colour;
        }
    }
    return n;
}

TEST(system_colours_test, SystemsShowInTheirColoursUsedOrNot) {
    struct ColourCase {
        const char* legend;
        SatelliteId id;
        std::int32_t used;
        QColor disc;  // inside the disc, and the bar
        QColor ring;
        QColor label;
    };
    const ColourCase cases[] = {
        {"used GLONASS", {Constellation::kGlonass, 1}, 1, kOrange, kOrange, kOrange},
        {"unused GLONASS", {Constellation::kGlonass, 1}, 0, kSkyGrey, kOrange, kOrange},
        {"used Galileo", {Constellation::kGalileo, 1}, 1, kViolet, kViolet, kViolet},
        {"unused BeiDou", {Constellation::kBeidou, 1}, 0, kSkyGrey, kTeal, kTeal},
    };
    testing::TestApp();
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.legend);
        ReceiverState state = OneSatellite(c.id, c.used);
        // The 130 x 128 plot puts azimuth 45, elevation 30 at (93, 33); the label "1" is narrow.
        SkyGeometry geometry;
        const QImage sky = ComposeSkyPlot(state, 130, 128, {platform::CreateCellFont(12, 7), 12, 9},
                                          1.0, geometry);
        EXPECT_EQ(sky.pixelColor(88, 37), c.disc);
        EXPECT_EQ(sky.pixelColor(85, 33), c.ring);

        // One bar in a 200 x 50 frame: its box is (3, 3, 198, 38), full at SNR 45.
        const QImage bars = ComposeSignalBars(state, 200, 50, 1.0);
        const QColor bar = c.used == 1 ? c.disc : kBarGrey;
        EXPECT_EQ(bars.pixelColor(10, 20), bar);
        EXPECT_GT(Count(bars, c.label, 90, 36, 110, 48), 0) << "the number under the bar";
    }
}

}  // namespace
}  // namespace pathlux
