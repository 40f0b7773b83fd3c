#include "platform/qt/draw_surface.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <functional>
#include <vector>

#include "tests/common/qt_test_app.h"

namespace pathlux::platform {
namespace {

constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);

// One row of the image: '#' where the colour is.
std::string Row(const QImage& image, int y, QRgb colour) {
    std::string row;
    for (int x = 0; x < image.width(); ++x) {
        row += image.pixel(x, y) == colour ? '#' : '.';
    }
    return row;
}

// The platform's pixels: rectangles without their right and bottom edge, lines without their last
// point, ellipses inside their box, 18-on 6-off dashes, an etched edge of shadow and highlight.
TEST(draw_surface_test, ShapesCoverThePlatformsPixels) {
    using Draw = std::function<void(DrawSurface&)>;
    const struct {
        const char* legend;
        Draw draw;
        std::vector<std::string> red;
    } cases[] = {
        {"rectangle",
         [](DrawSurface& s) {
             s.FillRect({1, 1, 4, 3}, kRed);
         },
         {"......", ".###..", ".###..", "......", "......"}},
        {"inverted rectangle",
         [](DrawSurface& s) {
             s.FillRect({4, 3, 1, 1}, kRed);
         },
         {"......", "......", "......", "......", "......"}},
        {"diagonal line",
         [](DrawSurface& s) {
             s.Line({0, 0}, {4, 4}, kRed, LineStyle::kSolid);
         },
         {"#.....", ".#....", "..#...", "...#..", "......"}},
        {"filled ellipse",
         [](DrawSurface& s) {
             s.FilledEllipse({1, 1, 5, 5}, kRed);
         },
         {"......", "..##..", ".####.", ".####.", "..##.."}},
        {"outlined ellipse",
         [](DrawSurface& s) {
             s.OutlinedEllipse({0, 0, 6, 5}, kRed, std::nullopt);
         },
         {".####.", "#....#", "#....#", "#....#", ".####."}},
    };
    testing::TestApp();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        DrawSurface surface(6, 5);
        surface.FillRect({0, 0, 6, 5}, kBlack);
        c.draw(surface);
        const QImage image = surface.Finish();
        for (int y = 0; y < 5; ++y) {
            EXPECT_EQ(Row(image, y, kRed), c.red[static_cast<std::size_t>(y)]) << "row " << y;
        }
    }
    DrawSurface dashes(60, 1);
    dashes.FillRect({0, 0, 60, 1}, kBlack);
    dashes.Line({0, 0}, {60, 0}, kRed, LineStyle::kDashed);
    EXPECT_EQ(Row(dashes.Finish(), 0, kRed), std::string(18, '#') + std::string(6, '.') +
                                                 std::string(18, '#') + std::string(6, '.') +
                                                 std::string(12, '#'));
    DrawSurface edge(6, 6);
    edge.FillRect({0, 0, 6, 6}, kRed);
    EXPECT_EQ(edge.EtchedEdge({0, 0, 6, 6}), (Rect{2, 2, 4, 4}));
    const QImage etched = edge.Finish();
    EXPECT_EQ(etched.pixel(2, 0), DrawSurface::kShadow) << "outer top";
    EXPECT_EQ(etched.pixel(5, 2), DrawSurface::kHighlight) << "outer right";
    EXPECT_EQ(etched.pixel(2, 1), DrawSurface::kHighlight) << "inner top";
    EXPECT_EQ(etched.pixel(4, 2), DrawSurface::kShadow) << "inner right";
    EXPECT_EQ(etched.pixel(2, 2), kRed) << "inside untouched";
}

// Fonts by cell size; text centred in its box, cut at its sides, on an opaque background if asked.
TEST(draw_surface_test, TextIsCentredAndClippedToItsBox) {
    testing::TestApp();
    for (const int width : {7, 6}) {
        const QFontMetrics metrics(CreateCellFont(12, width));
        EXPECT_EQ(metrics.height(), 12);
        EXPECT_EQ(metrics.horizontalAdvance(u'0'), width);
    }
    const struct {
        const char* legend;
        const char16_t* text;
        std::optional<QColor> background;
        int firstInk, lastInk;  // columns with white ink
    } cases[] = {
        {"three digits are cut at the box's sides", u"123", std::nullopt, 10, 21},
        {"a single digit is centred", u"8", std::nullopt, 13, 18},
        {"an opaque background is painted in the box", u"8", QColor(kRed), 13, 18},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        DrawSurface surface(32, 14);
        surface.FillRect({0, 0, 32, 14}, kBlack);
        surface.TextInBox(c.text, {10, 0, 22, 12}, CreateCellFont(12, 7), kWhite, c.background);
        const QImage image = surface.Finish();
        for (int y = 0; y < 14; ++y) {
            const std::string row = Row(image, y, kWhite);
            for (std::size_t x = 0; x < row.size(); ++x) {
                if (row[x] == '#') {
                    EXPECT_LT(y, 12);
                    EXPECT_GE(static_cast<int>(x), c.firstInk);
                    EXPECT_LE(static_cast<int>(x), c.lastInk);
                }
            }
        }
        bool red = false;
        for (int y = 0; y < 14; ++y) {
            red = red || Row(image, y, kRed).find('#') != std::string::npos;
        }
        EXPECT_EQ(red, c.background.has_value());
    }
}

}  // namespace
}  // namespace pathlux::platform
