// The sky plot and the signal bars composed off-screen: what lands where, in which colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>

#include "nmea/nmea.h"
#include "platform/qt/draw_surface.h"
#include "tests/common/qt_test_app.h"
#include "tests/support/recording_display.h"
#include "window/chart_cache.h"
#include "window/signal_bars.h"
#include "window/sky_plot.h"

namespace pathlux {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kRingGrey(128, 128, 128);
const QColor kBarGrey(150, 150, 150);
const QColor kBlue(0, 0, 255);
const QColor kBarBlue(0, 60, 180);
const QColor kGreen(0, 180, 60);
const QColor kRed(255, 0, 0);

// The satellites given in view, in that order, with their records.
ReceiverState InView(std::initializer_list<std::pair<std::int32_t, SatelliteRecord>> satellites,
                     std::int32_t fix3d = 0) {
    ReceiverState state;
    state.inViewCount = 0;
    for (const auto& [prn, record] : satellites) {
        state.inViewPrns[static_cast<std::size_t>(state.inViewCount++)] = prn;
        if (SatelliteRecord* stored = state.FindRecord(prn)) {
            *stored = record;
        }
    }
    state.fix3d = fix3d;
    state.maxSnr = 45;
    return state;
}

// A 130 x 128 sky plot: azimuth 45, elevation 30 lands at (93, 33).
QImage Sky(const ReceiverState& state, qreal dpr = 1.0) {
    testing::TestApp();
    SkyGeometry geometry;
    return ComposeSkyPlot(state, 130, 128, {platform::CreateCellFont(12, 7), 12, 9}, dpr, geometry);
}

// A 200 x 50 bar chart (an image of 199 x 49).
QImage Bars(ReceiverState state) {
    testing::TestApp();
    return ComposeSignalBars(state, 200, 50, 1.0);
}

int Count(const QImage& image, const QColor& colour, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x) {
            n += image.pixelColor(x, y) == colour;
        }
    }
    return n;
}

// One satellite at azimuth 45, elevation 30 (the sky plot's (93, 33)): in the GP list when GPS
// or SBAS, else listed after it as a multi-system receiver's.
ReceiverState One(SatelliteId id, std::int32_t used, std::int32_t fix3d) {
    const SatelliteRecord record{45, 30, 45, used};
    if (id.system == Constellation::kGps || id.system == Constellation::kSbas) {
        return InView({{id.number, record}}, fix3d);
    }
    ReceiverState state = InView({}, fix3d);
    state.multiSystem = true;
    state.moreInView[0] = {id, id.number};
    state.moreInViewCount = 1;
    *state.FindRecord(id) = record;
    return state;
}

// One rule for both charts, which differ only in their blue and grey. Other systems have colours
// of their own, and an unused one keeps its colour round its disc and on its number.
TEST(charts_test, SatelliteColourTellsUseSystemAndFix) {
    const QColor kOrange(230, 120, 0);
    const QColor kViolet(140, 50, 210);
    const QColor kTeal(0, 150, 150);
    const struct {
        const char* legend;
        SatelliteId id;
        std::int32_t used, fix3d;
        QColor sky, bar;
        std::optional<QColor> system;  // round the disc and on the number under the bar
    } cases[] = {
        {"used GPS without 3D fix", {Constellation::kGps, 5}, 1, 0, kBlue, kBarBlue, {}},
        {"used GPS in 3D fix", {Constellation::kGps, 5}, 1, 1, kGreen, kGreen, {}},
        {"used SBAS in 3D fix", {Constellation::kSbas, 138}, 1, 1, kRed, kRed, {}},
        {"used flag other than 1", {Constellation::kSbas, 124}, 2, 1, kRingGrey, kBarGrey, {}},
        {"used GLONASS", {Constellation::kGlonass, 1}, 1, 1, kOrange, kOrange, kOrange},
        {"used Galileo", {Constellation::kGalileo, 1}, 1, 0, kViolet, kViolet, kViolet},
        {"unused BeiDou", {Constellation::kBeidou, 1}, 0, 1, kRingGrey, kBarGrey, kTeal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const ReceiverState state = One(c.id, c.used, c.fix3d);
        const QImage sky = Sky(state);
        EXPECT_EQ(sky.pixelColor(93 - 7, 33), c.sky);
        EXPECT_EQ(sky.pixelColor(93 - 8, 33), c.system.value_or(c.sky)) << "round the disc";
        const QImage bars = Bars(state);
        EXPECT_EQ(bars.pixelColor(100, 20), c.bar);
        EXPECT_GT(Count(bars, c.system.value_or(kBlack), 90, 36, 110, 48), 0)
            << "the number under the bar";
    }
}

TEST(charts_test, SkyPlotFrameDiscRingsAndSpokes) {
    const QImage image = Sky(ReceiverState{});  // twelve entries of 0: nothing plotted
    const struct {
        const char* legend;
        int x, y;
        QColor expected;
    } cases[] = {
        {"horizon rim", 2, 63, kBlack},
        {"centre is on no ring or spoke", 66, 65, kBlack},
        {"ring of 75 degrees", 54, 60, kRingGrey},
        {"north spoke from the centre", 64, 62, kRingGrey},
        {"north spoke in its first gap", 64, 41, kBlack},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(image.pixelColor(c.x, c.y), c.expected);
    }
}

// A satellite is plotted when it has an SNR or both angles; later entries are drawn on top.
TEST(charts_test, SkyPlotShowsWhatHasAPlace) {
    const struct {
        const char* legend;
        SatelliteRecord record;
        int x, y;
        bool plotted;
    } cases[] = {
        {"north point of the horizon with SNR", {35, 0, 0, 1}, 63, 1, true},
        {"azimuth 0 without SNR", {0, 45, 0, 1}, 63, 32, false},
        {"azimuth 200 elevation 10 without SNR", {0, 10, 200, 1}, 45, 114, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        // Just left of the dot's centre, clear of its label.
        EXPECT_EQ(Sky(InView({{7, c.record}})).pixelColor(c.x - 7, c.y + 5) == kBlue, c.plotted);
    }
    const SatelliteRecord here{40, 30, 45, 1};
    EXPECT_EQ(Sky(InView({{3, here}, {130, here}})).pixelColor(93 - 7, 33), kRed);
    EXPECT_EQ(Sky(InView({{130, here}, {3, here}})).pixelColor(93 - 7, 33), kBlue);
    EXPECT_EQ(Sky(InView({{3, here}}), 2.0).pixelColor(2 * (93 - 7), 2 * 33), kBlue)
        << "twice the pixels on a high-density screen";
}

// Two bars at scale 45: the first one's value sits in columns 45 to 56, column 90 is bar only.
TEST(charts_test, BarsAndValuesFollowTheirSnr) {
    const struct {
        const char* legend;
        std::int32_t snr;
        int top;           // first coloured row
        bool valueInside;  // white digits inside the bar
        bool valueAbove;   // black digits above the bar
    } cases[] = {
        {"30", 30, 14, true, false},
        {"12: value above", 12, 27, false, true},
        {"0: empty, no value", 0, 36, false, false},
        {"80: through the image's top, no value", 80, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const QImage image = Bars(InView({{1, {c.snr, 40, 90, 0}}, {2, {}}}));
        EXPECT_EQ(Count(image, kBarGrey, 90, 0, 91, 49), 36 - c.top);
        EXPECT_EQ(Count(image, kWhite, 45, c.top, 57, std::min(c.top + 12, 36)) > 0, c.valueInside);
        EXPECT_EQ(Count(image, kBlack, 45, c.top - 12, 57, c.top) > 0, c.valueAbove);
    }
    // A PRN without record: an empty box, labelled.
    const QImage image = Bars(InView({{40, {}}, {2, {}}}));
    EXPECT_EQ(Count(image, kWhite, 4, 4, 95, 36), 91 * 32);
    EXPECT_GT(Count(image, kBlack, 40, 36, 60, 48), 0);
}

// Counts, angles and SNRs no receiver should send: both charts stay within their images.
TEST(charts_test, AbsurdValuesDrawWithinTheImage) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    for (const std::int32_t count : {53, 1000, kMax, 0, -5}) {
        SCOPED_TRACE(count);
        ReceiverState state;
        for (std::size_t i = 0; i < state.inViewPrns.size(); ++i) {
            state.inViewPrns[i] = static_cast<std::int32_t>(i % 32) + 1;
        }
        state.gpsSats.fill({kMax, -kMax, kMax, 1});
        state.inViewCount = count;
        EXPECT_EQ(Sky(state).pixelColor(3, 3), kWhite) << "the frame's background stays";
        EXPECT_EQ(Bars(state).pixelColor(2, 2), kWhite);
    }
}

// The window's charts keep the pixels of their numbers and discs and copy them when the same one
// lands on the same pixels again: after every redraw of a real multi-system receiver's log, at a
// whole and a fractional zoom, they equal the charts composed afresh.
TEST(charts_test, ChartsWithKeptNumbersAndDiscsEqualThoseComposedAfresh) {
    testing::TestApp();
    std::ifstream in(std::string(PATHLUX_LOG_DIR) + "/neo-m8n.log", std::ios::binary);
    const std::string log{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(log.empty());
    testing::RecordingDisplay display;
    NmeaInterpreter interpreter(display);
    const SkyPlotStyle style{platform::CreateCellFont(12, 7), 12, 9};
    ChartCache kept[2];
    int compared = 0;
    for (std::size_t at = 0, end = 0; at < log.size() && compared < 400; at = end) {
        end = std::min(log.find('\n', at), log.size() - 1) + 1;
        interpreter.FeedBytes(reinterpret_cast<const std::uint8_t*>(log.data() + at), end - at);
        if (std::exchange(display.events, {}).empty()) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            const qreal zoom = i == 0 ? 1.0 : 1.5;
            ReceiverState fresh = interpreter.state();
            ReceiverState state = interpreter.state();
            SkyGeometry geometry;
            EXPECT_EQ(kept[i].Sky(state, {144, 140}, style, zoom, 1.0),
                      ComposeSkyPlot(fresh, 144, 140, style, zoom, geometry));
            EXPECT_EQ(kept[i].Bars(state, {235, 58}, zoom, 1.0),
                      ComposeSignalBars(fresh, 235, 58, zoom));
            compared += 2;
        }
    }
    EXPECT_EQ(compared, 400);
}

}  // namespace
}  // namespace pathlux
