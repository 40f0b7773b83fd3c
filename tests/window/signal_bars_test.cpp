#include "window/signal_bars.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/common/qt_test_app.h"

namespace pathlux {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kGrey(150, 150, 150);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 180, 60);
const QColor kBlue(0, 60, 180);

// Twelve in view in a 200 x 50 frame with scale 45; slot i holds PRN i + 1 unless set.
ReceiverState Twelve() {
    ReceiverState state;
    for (std::size_t i = 0; i < 12; ++i) {
        state.inViewPrns[i] = static_cast<std::int32_t>(i) + 1;
    }
    state.inViewCount = 12;
    state.maxSnr = 45;
    return state;
}

QImage Compose(ReceiverState& state, int width = 200, int height = 50) {
    testing::TestApp();
    return ComposeSignalBars(state, width, height, 1.0);
}

// Counts pixels of a colour in a rectangle (right and bottom excluded).
int Count(const QImage& image, const QColor& colour, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x) {
            n += image.pixelColor(x, y) == colour;
        }
    }
    return n;
}

TEST(signal_bars_test, ImageIsOnePixelSmallerThanTheFrameWithAWhiteBackground) {
    ReceiverState state = Twelve();
    const QImage image = Compose(state);
    ASSERT_EQ(image.size(), QSize(199, 49));
    EXPECT_EQ(image.pixelColor(2, 45), kWhite);
    EXPECT_EQ(image.pixelColor(198, 2), QColor(128, 128, 128)) << "inner edge; the outer is lost";
    EXPECT_EQ(Count(image, kWhite, 4, 4, 15, 36), 11 * 32) << "an empty bar is white";
}

TEST(signal_bars_test, BarsAndValuesFollowTheirSnr) {
    struct BarCase {
        const char* legend;
        std::int32_t snr;
        int top;           // first coloured row
        bool valueInside;  // white digits inside the bar
        bool valueAbove;   // black digits above the bar
    };
    const BarCase cases[] = {
        {"full", 45, 4, true, false},
        {"one below full is full too", 44, 4, true, false},
        {"30", 30, 14, true, false},
        {"12: value above", 12, 27, false, true},
        {"5: value above", 5, 32, false, true},
        {"0: empty, no value", 0, 36, false, false},
        {"80: through the image's top, no value", 80, 0, false, false},
    };
    for (const BarCase& c : cases) {
        SCOPED_TRACE(c.legend);
        // Two bars: the first one's value sits in columns 45 to 56, column 90 is bar only.
        ReceiverState state = Twelve();
        state.inViewCount = 2;
        state.gpsSats[0] = {c.snr, 40, 90, 0};
        const QImage image = Compose(state);
        EXPECT_EQ(state.maxSnr, 45);
        EXPECT_EQ(Count(image, kGrey, 90, 0, 91, 49), 36 - c.top);
        if (c.top < 36) {
            EXPECT_EQ(image.pixelColor(90, c.top), kGrey);
        }
        EXPECT_EQ(Count(image, kWhite, 45, c.top, 57, std::min(c.top + 12, 36)) > 0, c.valueInside);
        EXPECT_EQ(Count(image, kBlack, 45, c.top - 12, 57, c.top) > 0, c.valueAbove);
    }
}

TEST(signal_bars_test, BarColourTellsUseKindAndFix) {
    struct ColourCase {
        const char* legend;
        std::int32_t prn;
        std::int32_t used;
        std::int32_t fix3d;
        QColor expected;
    };
    const ColourCase cases[] = {
        {"used GPS without 3D fix", 1, 1, 0, kBlue},
        {"used GPS in 3D fix", 1, 1, 1, kGreen},
        {"used SBAS", 120, 1, 0, kRed},
        {"used SBAS in 3D fix", 138, 1, 1, kRed},
        {"unused GPS", 1, 0, 1, kGrey},
        {"used flag 2", 1, 2, 0, kGrey},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.legend);
        ReceiverState state = Twelve();
        state.inViewPrns[0] = c.prn;
        state.fix3d = c.fix3d;
        state.FindRecord(c.prn)->snr = 45;
        state.FindRecord(c.prn)->used = c.used;
        state.inViewCount = 2;
        EXPECT_EQ(Compose(state).pixelColor(90, 20), c.expected);
    }
}

TEST(signal_bars_test, ScaleRisesAtTheRedraw) {
    ReceiverState state = Twelve();
    state.gpsSats[3].snr = 69;
    Compose(state);
    EXPECT_EQ(state.maxSnr, 69);
    state.gpsSats[3].snr = 70;
    Compose(state);
    EXPECT_EQ(state.maxSnr, 69);
    state.gpsSats[3].snr = 10;
    Compose(state);
    EXPECT_EQ(state.maxSnr, 69) << "never lowered";
}

TEST(signal_bars_test, PrnsWithoutRecordGetLabelledEmptyBoxes) {
    for (const std::int32_t prn : {40, 139, 0}) {
        SCOPED_TRACE(prn);
        ReceiverState state = Twelve();
        state.inViewPrns[0] = prn;
        const QImage image = Compose(state);
        EXPECT_EQ(Count(image, kWhite, 4, 4, 15, 36), 11 * 32);
        EXPECT_GT(Count(image, kBlack, 4, 36, 16, 48), 0) << "the label";
    }
}

TEST(signal_bars_test, SingleBarFillsTheChart) {
    ReceiverState state = Twelve();
    state.inViewCount = 1;
    state.gpsSats[0] = {45, 40, 90, 1};
    const QImage image = Compose(state);
    EXPECT_EQ(image.pixelColor(190, 20), kBlue);
    EXPECT_EQ(image.pixelColor(195, 20), kBlue);
    EXPECT_EQ(image.pixelColor(196, 20), QColor(128, 128, 128)) << "the bar box's inner edge";
}

TEST(signal_bars_test, NeverReadsPastTheListAndSurvivesAnyCount) {
    for (const std::int32_t count : {53, 1000, 2147483647, 0, -5}) {
        SCOPED_TRACE(count);
        ReceiverState state = Twelve();
        for (std::size_t i = 0; i < state.inViewPrns.size(); ++i) {
            state.inViewPrns[i] = static_cast<std::int32_t>(i % 32) + 1;
        }
        state.inViewCount = count;
        EXPECT_EQ(Compose(state, 235, 58).size(), QSize(234, 57));
    }
}

TEST(signal_bars_test, AbsurdSnrsStayDefined) {
    ReceiverState state = Twelve();
    state.gpsSats[0].snr = -2147483647 - 1;
    state.gpsSats[1].snr = 2147483647;
    state.inViewCount = 2;
    const QImage image = Compose(state);
    EXPECT_EQ(state.maxSnr, 45);
    EXPECT_EQ(image.pixelColor(90, 20), kWhite) << "a negative SNR shows an empty bar";
    EXPECT_EQ(image.pixelColor(190, 20), kGrey) << "the largest SNR fills through the top";
}

}  // namespace
}  // namespace pathlux
