#include "platform/qt/draw_surface.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <vector>

#include "tests/common/qt_test_app.h"

namespace pathlux::platform {
namespace {

using testing::TestApp;

constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);

// Pixels of colour in the image, row by row, as a picture that failures can print.
std::vector<std::string> Picture(const QImage& image, QRgb colour) {
    std::vector<std::string> rows;
    for (int y = 0; y < image.height(); ++y) {
        std::string row;
        for (int x = 0; x < image.width(); ++x) {
            row += image.pixel(x, y) == colour ? '#' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

struct ShapeCase {
    const char* legend;
    void (*draw)(DrawSurface&);
    std::vector<std::string> expected;  // '#' red
};

TEST(draw_surface_test, ShapesCoverThePlatformsPixels) {
    const ShapeCase cases[] = {
        {"rectangle without right and bottom edge",
         [](DrawSurface& s) {
             s.FillRect({1, 1, 4, 3}, kRed);
         },
         {"......", ".###..", ".###..", "......", "......"}},
        {"inverted rectangle fills nothing",
         [](DrawSurface& s) {
             s.FillRect({4, 3, 1, 1}, kRed);
         },
         {"......", "......", "......", "......", "......"}},
        {"line leaves out its last point",
         [](DrawSurface& s) {
             s.Line({0, 2}, {5, 2}, kRed, LineStyle::kSolid);
         },
         {"......", "......", "#####.", "......", "......"}},
        {"diagonal line",
         [](DrawSurface& s) {
             s.Line({0, 0}, {4, 4}, kRed, LineStyle::kSolid);
         },
         {"#.....", ".#....", "..#...", "...#..", "......"}},
        {"line to itself draws nothing",
         [](DrawSurface& s) {
             s.Line({2, 2}, {2, 2}, kRed, LineStyle::kSolid);
         },
         {"......", "......", "......", "......", "......"}},
        {"filled ellipse stays in its box",
         [](DrawSurface& s) {
             s.FilledEllipse({1, 1, 5, 5}, kRed);
         },
         {"......", "..##..", ".####.", ".####.", "..##.."}},
        {"outlined ellipse stays in its box",
         [](DrawSurface& s) {
             s.OutlinedEllipse({0, 0, 6, 5}, kRed, std::nullopt);
         },
         {".####.", "#....#", "#....#", "#....#", ".####."}},
    };
    TestApp();
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.legend);
        DrawSurface surface(6, 5);
        surface.FillRect({0, 0, 6, 5}, kBlack);
        c.draw(surface);
        EXPECT_EQ(Picture(surface.Finish(), kRed), c.expected);
    }
}

TEST(draw_surface_test, DashesAre18OnAnd6Off) {
    TestApp();
    DrawSurface surface(60, 1);
    surface.FillRect({0, 0, 60, 1}, kBlack);
    surface.Line({0, 0}, {60, 0}, kRed, LineStyle::kDashed);
    const std::string expected = std::string(18, '#') + std::string(6, '.') + std::string(18, '#') +
                                 std::string(6, '.') + std::string(12, '#');
    EXPECT_EQ(Picture(surface.Finish(), kRed)[0], expected);
}

TEST(draw_surface_test, EtchedEdgeIsSunkenOuterAndRaisedInner) {
    TestApp();
    DrawSurface surface(6, 6);
    surface.FillRect({0, 0, 6, 6}, kRed);
    const Rect inner = surface.EtchedEdge({0, 0, 6, 6});
    EXPECT_EQ(inner, (Rect{2, 2, 4, 4}));
    const QImage image = surface.Finish();
    struct PixelCase {
        const char* legend;
        int x, y;
        QRgb expected;
    };
    const PixelCase cases[] = {
        {"outer top", 2, 0, DrawSurface::kShadow},
        {"outer left", 0, 2, DrawSurface::kShadow},
        {"outer bottom", 2, 5, DrawSurface::kHighlight},
        {"outer right", 5, 2, DrawSurface::kHighlight},
        {"inner top", 2, 1, DrawSurface::kHighlight},
        {"inner left", 1, 2, DrawSurface::kHighlight},
        {"inner bottom", 2, 4, DrawSurface::kShadow},
        {"inner right", 4, 2, DrawSurface::kShadow},
        {"inside untouched", 2, 2, kRed},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(image.pixel(c.x, c.y), c.expected);
    }
}

TEST(draw_surface_test, CellFontsHaveTheRequestedCell) {
    struct FontCase {
        const char* legend;
        int height, width;
    };
    const FontCase cases[] = {{"sky plot labels", 12, 7}, {"bar chart labels", 12, 6}};
    TestApp();
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const QFontMetrics metrics(CreateCellFont(c.height, c.width));
        EXPECT_EQ(metrics.height(), c.height);
        EXPECT_EQ(metrics.horizontalAdvance(u'0'), c.width);
    }
}

TEST(draw_surface_test, TextIsClippedToItsBoxAndCentred) {
    TestApp();
    const QFont font = CreateCellFont(12, 7);
    struct TextCase {
        const char* legend;
        const char16_t* text;
        std::optional<QColor> background;
        int firstInk, lastInk;  // columns with white ink, -1 for none
        bool backgroundInBox;
    };
    const TextCase cases[] = {
        {"three digits are cut at the box's sides", u"123", std::nullopt, 10, 21, false},
        {"a single digit is centred", u"8", std::nullopt, 13, 18, false},
        {"an opaque background is painted in the box", u"8", QColor(kRed), 13, 18, true},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.legend);
        DrawSurface surface(32, 14);
        surface.FillRect({0, 0, 32, 14}, kBlack);
        surface.TextInBox(c.text, {10, 0, 22, 12}, font, kWhite, c.background);
        const QImage image = surface.Finish();
        int first = -1;
        int last = -1;
        bool red = false;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixel(x, y) == kWhite) {
                    first = first < 0 ? x : first;
                    last = x;
                    EXPECT_LT(y, 12);
                }
                red = red || image.pixel(x, y) == kRed;
            }
        }
        EXPECT_GE(first, c.firstInk);
        EXPECT_LE(last, c.lastInk);
        EXPECT_EQ(red, c.backgroundInBox);
    }
}

TEST(draw_surface_test, HighDensityImagesHaveMorePixelsForTheSameShapes) {
    TestApp();
    DrawSurface surface(10, 8, 2.0);
    surface.FillRect({0, 0, 10, 8}, kBlack);
    surface.FillRect({2, 2, 5, 4}, kRed);
    const QImage image = surface.Finish();
    EXPECT_EQ(image.size(), QSize(20, 16));
    EXPECT_EQ(image.pixel(4, 4), kRed);
    EXPECT_EQ(image.pixel(9, 7), kRed);
    EXPECT_EQ(image.pixel(10, 7), kBlack);
    EXPECT_EQ(image.pixel(3, 4), kBlack);
}

}  // namespace
}  // namespace pathlux::platform
