#include "window/bar_geometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace pathlux {
namespace {

TEST(bar_geometry_test, LayoutOfTwelveBarsIn200By50) {
    const BarLayout layout = LayoutBars(200, 50, 12);
    EXPECT_EQ(layout.barWidth, 14);
    EXPECT_DOUBLE_EQ(layout.pitch, 16.5);
    EXPECT_EQ(layout.half, 7);
    EXPECT_EQ(layout.base, 38);
    const int starts[] = {0, 16, 33, 49, 66, 82, 99, 115, 132, 148, 165, 181};
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(BarX(layout, i), starts[i]);
    }
}

TEST(bar_geometry_test, BoxesOfABar) {
    struct BoxCase {
        const char* legend;
        int width, height, bars, index;
        Rect box, label, area;
    };
    const BoxCase cases[] = {
        {"first of twelve", 200, 50, 12, 0, {3, 3, 17, 38}, {4, 36, 16, 48}, {4, 4, 15, 36}},
        {"last of twelve",
         200,
         50,
         12,
         11,
         {184, 3, 198, 38},
         {185, 36, 197, 48},
         {185, 4, 196, 36}},
        {"single bar", 200, 50, 1, 0, {3, 3, 198, 38}, {94, 36, 106, 48}, {4, 4, 196, 36}},
        {"single bar in the window's frame",
         235,
         58,
         1,
         0,
         {3, 3, 233, 46},
         {112, 44, 124, 56},
         {4, 4, 231, 44}},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const BarLayout layout = LayoutBars(c.width, c.height, c.bars);
        EXPECT_EQ(BarBox(layout, c.index), c.box);
        EXPECT_EQ(BarLabelBox(layout, c.index), c.label);
        EXPECT_EQ(BarArea(layout, c.index), c.area);
    }
}

TEST(bar_geometry_test, BarTopsWithScale45) {
    const BarLayout layout = LayoutBars(200, 50, 12);
    struct TopCase {
        const char* legend;
        std::int32_t snr;
        std::int32_t top;
    };
    const TopCase cases[] = {
        {"full", 45, 4},
        {"one below full is still full", 44, 4},
        {"30", 30, 14},
        {"12", 12, 27},
        {"5", 5, 32},
        {"empty", 0, 36},
        {"above the image", 80, -20},
        {"negative SNR lies below the bar", -45, 68},
        {"largest SNR stays defined", std::numeric_limits<std::int32_t>::max(), -1527099446},
        {"smallest SNR stays defined", std::numeric_limits<std::int32_t>::min(), 1527099519},
    };
    for (const TopCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(BarTop(layout, 45, c.snr), c.top);
    }
}

TEST(bar_geometry_test, ScaleRisesBelow70AndNeverFalls) {
    struct ScaleCase {
        const char* legend;
        std::int32_t start;
        std::int32_t snrs[3];
        std::int32_t expected;
    };
    const ScaleCase cases[] = {
        {"all weaker", 20, {10, 15, 19}, 20},     {"strongest wins", 20, {30, 45, 38}, 45},
        {"69 raises", 45, {69, 0, 0}, 69},        {"70 never raises", 45, {70, 0, 0}, 45},
        {"80 never raises", 45, {80, 12, 0}, 45}, {"never lowered", 60, {30, 40, 50}, 60},
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(c.legend);
        ReceiverState state;
        state.maxSnr = c.start;
        for (int i = 0; i < 3; ++i) {
            state.inViewPrns[static_cast<std::size_t>(i)] = i + 1;
            state.gpsSats[static_cast<std::size_t>(i)].snr = c.snrs[i];
        }
        EXPECT_EQ(RaisedMaxSnr(state, 3), c.expected);
    }
}

TEST(bar_geometry_test, PrnsWithoutRecordReadAsZero) {
    ReceiverState state;
    state.inViewPrns[0] = 40;
    state.inViewPrns[1] = 139;
    state.inViewPrns[2] = -1;
    EXPECT_EQ(RaisedMaxSnr(state, 3), 20);
}

TEST(bar_geometry_test, BarsToDrawStopsAtTheListsEnd) {
    struct CountCase {
        const char* legend;
        std::int32_t inView;
        int expected;
    };
    const CountCase cases[] = {
        {"twelve", 12, 12},           {"full list", 52, 52}, {"more than the list holds", 60, 52},
        {"absurd count", 100000, 52}, {"negative", -3, 0},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(c.legend);
        ReceiverState state;
        state.inViewCount = c.inView;
        EXPECT_EQ(BarsToDraw(state), c.expected);
    }
}

}  // namespace
}  // namespace pathlux
