// An off-screen drawing surface with the original platform's rules: rectangles exclude their
// right and bottom edge, ellipses fill their bounding box, lines leave out their last point,
// text sits in a box. Coordinates are logical pixels; the image is made at the screen's pixel
// density so that the composed picture stays sharp on high-density screens.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStringView>
#include <optional>

#include "platform/qt/box_cache.h"
#include "platform/qt/rect.h"

namespace pathlux::platform {

// A font of the given cell height and character width in pixels. The faces the original asks
// for are not on this system; Liberation Mono, hinted and without antialiasing, is sized to the
// cell instead.
QFont CreateCellFont(int height, int width);

enum class LineStyle { kSolid, kDashed };

class DrawSurface {
  public:
    // The system's three-dimensional shadow and highlight colours of the etched edge.
    static constexpr QRgb kShadow = qRgb(128, 128, 128);
    static constexpr QRgb kHighlight = qRgb(255, 255, 255);

    DrawSurface(int width, int height, qreal devicePixelRatio = 1.0);
    // Drawing goes on over a copy of the picture, which stays as it is. Text in boxes and filled
    // discs are kept in and taken from `kept` when given.
    explicit DrawSurface(const QImage& start, BoxCache* kept = nullptr);
    DrawSurface(const DrawSurface&) = delete;
    DrawSurface& operator=(const DrawSurface&) = delete;

    // An empty or inverted rectangle fills nothing.
    void FillRect(const Rect& rect, QColor colour);
    // A 1-pixel outline and, when given, a fill.
    void OutlinedEllipse(const Rect& box, QColor pen, std::optional<QColor> fill);
    // A fill without outline.
    void FilledEllipse(const Rect& box, QColor fill);
    // From 'from' towards 'to', without the pixel at 'to'; dashes of 18 pixels with gaps of 6.
    void Line(Point from, Point to, QColor colour, LineStyle style);
    // A sunken outer and a raised inner line, one pixel each; returns the rectangle inside.
    Rect EtchedEdge(const Rect& rect);
    // Horizontally centred and top-aligned, broken at words and clipped to the box. With a
    // background colour the text's own cells are painted with it first.
    void TextInBox(QStringView text, const Rect& box, const QFont& font, QColor colour,
                   std::optional<QColor> background);

    // Ends drawing and hands the image over.
    QImage Finish();

  private:
    void Begin();
    void DrawTextInBox(const QRect& rect, QStringView text, const QFont& font, QColor colour,
                       std::optional<QColor> background);
    // Draws what `what` describes and touches nothing outside rect, or copies what it did before
    // over the same pixels.
    template <class Draw>
    void DrawKept(const QRect& rect, const QByteArray& what, Draw draw);

    QImage image_;
    QPainter painter_;
    BoxCache* kept_ = nullptr;
    QFont keyedFont_;
    QByteArray fontKey_;
};

}  // namespace pathlux::platform
