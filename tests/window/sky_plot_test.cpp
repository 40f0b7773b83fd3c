#include "window/sky_plot.h"

#include <gtest/gtest.h>

#include "platform/qt/draw_surface.h"
#include "tests/common/qt_test_app.h"

namespace pathlux {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 180, 60);
const QColor kBlue(0, 0, 255);

SkyPlotStyle Style() {
    return {platform::CreateCellFont(12, 7), 12, 9};
}

// One satellite in view at the given place.
ReceiverState OneSatellite(std::int32_t prn, SatelliteRecord record, std::int32_t fix3d) {
    ReceiverState state;
    state.inViewPrns = {};
    state.inViewPrns[0] = prn;
    state.inViewCount = 1;
    state.fix3d = fix3d;
    if (SatelliteRecord* stored = state.FindRecord(prn)) {
        *stored = record;
    }
    return state;
}

QImage Compose(const ReceiverState& state, int width = 130, int height = 128, qreal dpr = 1.0) {
    testing::TestApp();
    SkyGeometry geometry;
    return ComposeSkyPlot(state, width, height, Style(), dpr, geometry);
}

TEST(sky_plot_test, EmptyPlotHasBorderBackgroundDiscRingsAndSpokes) {
    ReceiverState state;  // twelve entries of 0: nothing plotted
    const QImage image = Compose(state);
    ASSERT_EQ(image.size(), QSize(130, 128));
    struct PixelCase {
        const char* legend;
        int x, y;
        QColor expected;
    };
    const PixelCase cases[] = {
        {"outer edge top left is shadow", 0, 0, QColor(platform::DrawSurface::kShadow)},
        {"inner edge top is highlight", 10, 1, kWhite},
        {"background corner", 3, 3, kWhite},
        {"background right of the disc", 127, 63, kWhite},
        {"horizon rim", 2, 63, kBlack},
        {"centre is on no ring or spoke", 66, 65, kBlack},
        {"ring of 75 degrees, west", 54, 60, kGrey},
        {"ring of 15 degrees, west", 13, 60, kGrey},
        {"inside the ring of 15 degrees", 14, 60, kBlack},
        {"north spoke starts at the centre", 64, 62, kGrey},
        {"north spoke in its first gap", 64, 41, kBlack},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(image.pixelColor(c.x, c.y), c.expected);
    }
}

TEST(sky_plot_test, GeometryIsReturnedForTheFrame) {
    testing::TestApp();
    SkyGeometry geometry;
    ComposeSkyPlot(ReceiverState{}, 100, 140, Style(), 1.0, geometry);
    EXPECT_EQ(geometry.skyRadius, 48.0);
    EXPECT_EQ(geometry.skyCentre, (Point{49, 69}));
}

TEST(sky_plot_test, DiscColourTellsUseKindAndFix) {
    struct ColourCase {
        const char* legend;
        std::int32_t prn;
        std::int32_t used;
        std::int32_t fix3d;
        QColor expected;
    };
    const ColourCase cases[] = {
        {"used GPS without 3D fix", 5, 1, 0, kBlue},
        {"used GPS in 3D fix", 5, 1, 1, kGreen},
        {"used SBAS without 3D fix", 120, 1, 0, kRed},
        {"used SBAS in 3D fix", 138, 1, 1, kRed},
        {"unused GPS", 5, 0, 1, kGrey},
        {"used flag other than 1", 5, 2, 1, kGrey},
        {"unused SBAS", 124, 0, 0, kGrey},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const QImage image =
            Compose(OneSatellite(c.prn, {40, 30, 45, c.used}, c.fix3d));  // centred at (93, 33)
        EXPECT_EQ(image.pixelColor(93 - 7, 33), c.expected);
        EXPECT_EQ(image.pixelColor(93 + 7, 33), c.expected);
    }
}

TEST(sky_plot_test, WhichRecordsArePlotted) {
    struct PlotCase {
        const char* legend;
        SatelliteRecord record;
        int x, y;  // the dot's centre when plotted
        bool plotted;
    };
    const PlotCase cases[] = {
        {"north point of the horizon with SNR", {35, 0, 0, 1}, 63, 1, true},
        {"azimuth 0 elevation 0 without SNR", {0, 0, 0, 1}, 63, 1, false},
        {"azimuth 0 elevation 45 without SNR", {0, 45, 0, 1}, 63, 32, false},
        {"azimuth 200 elevation 10 without SNR", {0, 10, 200, 1}, 45, 114, true},
    };
    for (const PlotCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const QImage image = Compose(OneSatellite(7, c.record, 0));
        // A point just left of the dot's centre avoids its label.
        EXPECT_EQ(image.pixelColor(c.x - 7, c.y + 5) == kBlue, c.plotted);
    }
}

TEST(sky_plot_test, LabelIsWhiteInsideTheDot) {
    const QImage image = Compose(OneSatellite(8, {40, 30, 45, 1}, 0));
    int white = 0;
    for (int y = 33 - 6; y < 33 + 6; ++y) {
        for (int x = 93 - 6; x < 93 + 6; ++x) {
            white += image.pixelColor(x, y) == kWhite;
        }
    }
    EXPECT_GT(white, 5);
    EXPECT_EQ(image.pixelColor(93 - 8, 33), kBlue);
}

TEST(sky_plot_test, LaterEntriesAreDrawnOnTop) {
    ReceiverState state;
    state.inViewPrns = {};
    state.inViewPrns[0] = 3;
    state.inViewPrns[1] = 130;
    state.inViewCount = 2;
    state.gpsSats[2] = {40, 30, 45, 1};
    state.sbasSats[10] = {40, 30, 45, 1};
    EXPECT_EQ(Compose(state).pixelColor(93 - 7, 33), kRed);
    std::swap(state.inViewPrns[0], state.inViewPrns[1]);
    EXPECT_EQ(Compose(state).pixelColor(93 - 7, 33), kBlue);
}

TEST(sky_plot_test, NeverReadsPastTheList) {
    // Every slot holds a satellite; the count claims far more than the list holds.
    ReceiverState state;
    for (std::size_t i = 0; i < state.inViewPrns.size(); ++i) {
        state.inViewPrns[i] = static_cast<std::int32_t>(i % 32) + 1;
    }
    for (SatelliteRecord& record : state.gpsSats) {
        record = {30, 20, 100, 0};
    }
    for (const std::int32_t count : {53, 1000, 2147483647, -5}) {
        SCOPED_TRACE(count);
        state.inViewCount = count;
        EXPECT_EQ(Compose(state).size(), QSize(130, 128));
    }
}

TEST(sky_plot_test, AbsurdAnglesDrawNothingOutsideAndNeverFail) {
    const QImage image = Compose(OneSatellite(9, {40, -2147483647, 2147483647, 1}, 0));
    EXPECT_EQ(image.pixelColor(3, 3), kWhite);
}

TEST(sky_plot_test, HighDensityScreensGetTwiceThePixels) {
    const QImage image = Compose(OneSatellite(8, {40, 30, 45, 1}, 0), 130, 128, 2.0);
    EXPECT_EQ(image.size(), QSize(260, 256));
    EXPECT_EQ(image.pixelColor(2 * (93 - 7), 2 * 33), kBlue);
    EXPECT_EQ(image.pixelColor(2 * 3, 2 * 3), kWhite);
}

}  // namespace
}  // namespace pathlux
