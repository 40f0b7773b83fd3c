#include "platform/qt/draw_surface.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <string>

#include "tests/common/qt_test_app.h"

namespace pathlux::platform {
namespace {

constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);

// The image row by row, '|' between rows: '#' red, 's' shadow, 'h' highlight, '.' anything else.
std::string Picture(const QImage& image) {
    std::string picture;
    for (int y = 0; y < image.height(); ++y) {
        picture += y > 0 ? "|" : "";
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            picture += pixel == kRed                      ? '#'
                       : pixel == DrawSurface::kShadow    ? 's'
                       : pixel == DrawSurface::kHighlight ? 'h'
                                                          : '.';
        }
    }
    return picture;
}

// Where the colour is in the image; empty when nowhere.
QRect Ink(const QImage& image, QRgb colour) {
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ink |= image.pixel(x, y) == colour ? QRect(x, y, 1, 1) : QRect();
        }
    }
    return ink;
}

// The platform's pixels: rectangles without their right and bottom edge, lines without their last
// point, ellipses inside their box, 18-on 6-off dashes, an etched edge of shadow and highlight
// round the rectangle it returns (filled red here).
TEST(draw_surface_test, ShapesCoverThePlatformsPixels) {
    using Draw = void (*)(DrawSurface&, const Rect&);
    const Draw rect = [](DrawSurface& s, const Rect& r) { s.FillRect(r, kRed); };
    const Draw line = [](DrawSurface& s, const Rect& r) {
        s.Line({r.left, r.top}, {r.right, r.bottom}, kRed, LineStyle::kSolid);
    };
    const Draw filled = [](DrawSurface& s, const Rect& r) { s.FilledEllipse(r, kRed); };
    const Draw outlined = [](DrawSurface& s, const Rect& r) {
        s.OutlinedEllipse(r, kRed, std::nullopt);
    };
    const Draw etched = [](DrawSurface& s, const Rect& r) { s.FillRect(s.EtchedEdge(r), kRed); };
    const struct {
        const char* legend;
        Draw draw;
        Rect box;  // a line goes from its top-left corner towards its bottom-right one
        std::string picture;
    } cases[] = {
        {"rectangle", rect, {1, 1, 4, 3}, "......|.###..|.###..|......|......"},
        {"inverted rectangle", rect, {4, 3, 1, 1}, "......|......|......|......|......"},
        {"diagonal line", line, {0, 0, 4, 4}, "#.....|.#....|..#...|...#..|......"},
        {"filled ellipse", filled, {1, 1, 5, 5}, "......|..##..|.####.|.####.|..##.."},
        {"outlined ellipse", outlined, {0, 0, 6, 5}, ".####.|#....#|#....#|#....#|.####."},
        {"etched edge", etched, {0, 0, 6, 5}, "sssssh|shhhsh|sh##sh|sssssh|hhhhhh"},
    };
    testing::TestApp();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        DrawSurface surface(6, 5);
        surface.FillRect({0, 0, 6, 5}, kBlack);
        c.draw(surface, c.box);
        EXPECT_EQ(Picture(surface.Finish()), c.picture);
    }
    DrawSurface dashes(60, 1);
    dashes.FillRect({0, 0, 60, 1}, kBlack);
    dashes.Line({0, 0}, {60, 0}, kRed, LineStyle::kDashed);
    const std::string dash = std::string(18, '#') + std::string(6, '.');
    EXPECT_EQ(Picture(dashes.Finish()), dash + dash + std::string(12, '#'));
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
        int firstInk, lastInk;  // columns white ink may take
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
        const QRect ink = Ink(image, kWhite);
        EXPECT_TRUE(QRect(c.firstInk, 0, c.lastInk - c.firstInk + 1, 12).contains(ink));
        EXPECT_EQ(Ink(image, kRed).isValid(), c.background.has_value());
    }
}

}  // namespace
}  // namespace pathlux::platform
