#include "platform/qt/draw_surface.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace pathlux::platform {
namespace {

constexpr int kDashOn = 18;
constexpr int kDashOff = 6;

// Anything drawn this far outside an image cannot show; clamping keeps Qt's own arithmetic on
// rectangles far from the integer limits whatever a receiver sends.
constexpr std::int64_t kCoordLimit = 1 << 20;

int ClampCoord(std::int64_t value) {
    return static_cast<int>(std::clamp(value, -kCoordLimit, kCoordLimit));
}

QRect ToQRect(const Rect& rect, int shrink) {
    const int left = ClampCoord(rect.left);
    const int top = ClampCoord(rect.top);
    return QRect(left, top, ClampCoord(rect.right) - left - shrink,
                 ClampCoord(rect.bottom) - top - shrink);
}

QFont BaseCellFont(int pixelSize, int stretch) {
    QFont font(QStringLiteral("Liberation Mono"));
    font.setPixelSize(pixelSize);
    font.setStretch(stretch);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

}  // namespace

QFont CreateCellFont(int height, int width) {
    // Measuring is slow next to a redraw, so each cell size is resolved once.
    static std::map<std::pair<int, int>, std::pair<int, int>> resolved;
    const auto key = std::make_pair(height, width);
    auto found = resolved.find(key);
    if (found == resolved.end()) {
        int pixelSize = std::max(height, 1);
        while (pixelSize > 1 && QFontMetrics(BaseCellFont(pixelSize, 100)).height() > height) {
            --pixelSize;
        }
        int stretch = 100;
        while (stretch > 50 &&
               QFontMetrics(BaseCellFont(pixelSize, stretch)).horizontalAdvance(u'0') > width) {
            stretch -= 5;
        }
        found = resolved.emplace(key, std::make_pair(pixelSize, stretch)).first;
    }
    return BaseCellFont(found->second.first, found->second.second);
}

DrawSurface::DrawSurface(int width, int height, qreal devicePixelRatio)
    : image_(std::max(1, static_cast<int>(std::ceil(std::max(width, 1) * devicePixelRatio))),
             std::max(1, static_cast<int>(std::ceil(std::max(height, 1) * devicePixelRatio))),
             QImage::Format_RGB32) {
    image_.setDevicePixelRatio(devicePixelRatio);
    image_.fill(Qt::black);
    Begin();
}

DrawSurface::DrawSurface(const QImage& start, BoxCache* kept) : image_(start.copy()), kept_(kept) {
    Begin();
}

void DrawSurface::Begin() {
    painter_.begin(&image_);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
}

void DrawSurface::FillRect(const Rect& rect, QColor colour) {
    if (rect.IsEmpty()) {
        return;
    }
    painter_.fillRect(ToQRect(rect, 0), colour);
}

void DrawSurface::OutlinedEllipse(const Rect& box, QColor pen, std::optional<QColor> fill) {
    if (box.IsEmpty()) {
        return;
    }
    painter_.setPen(QPen(pen, 1));
    painter_.setBrush(fill ? QBrush(*fill) : QBrush(Qt::NoBrush));
    painter_.drawEllipse(ToQRect(box, 1));
}

void DrawSurface::FilledEllipse(const Rect& box, QColor fill) {
    if (box.IsEmpty()) {
        return;
    }
    const QRect rect = ToQRect(box, 0);
    const QRgb rgba = fill.rgba();
    // Filled without antialiasing, the disc covers only pixels inside its box.
    DrawKept(rect, QByteArray("E").append(reinterpret_cast<const char*>(&rgba), sizeof rgba), [&] {
        // The integer ellipse without a pen drops a row; the path covers the whole box.
        QPainterPath path;
        path.addEllipse(QRectF(rect));
        painter_.fillPath(path, fill);
    });
}

void DrawSurface::Line(Point from, Point to, QColor colour, LineStyle style) {
    // Bresenham, so that the last point can be left out and the dashes follow the pixels.
    int x = ClampCoord(from.x);
    int y = ClampCoord(from.y);
    const int x1 = ClampCoord(to.x);
    const int y1 = ClampCoord(to.y);
    const int dx = std::abs(x1 - x);
    const int dy = -std::abs(y1 - y);
    const int sx = x < x1 ? 1 : -1;
    const int sy = y < y1 ? 1 : -1;
    int error = dx + dy;
    std::vector<QPoint> points;
    points.reserve(static_cast<std::size_t>(std::min(std::max(dx, -dy), 4096)));
    for (int step = 0; x != x1 || y != y1; ++step) {
        if (style == LineStyle::kSolid || step % (kDashOn + kDashOff) < kDashOn) {
            points.emplace_back(x, y);
        }
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
    // A square pen of one logical pixel covers whole device pixels at any density.
    painter_.setPen(QPen(colour, 1, Qt::SolidLine, Qt::SquareCap));
    painter_.drawPoints(points.data(), static_cast<int>(points.size()));
}

Rect DrawSurface::EtchedEdge(const Rect& rect) {
    const auto frame = [this](const Rect& r, QRgb topLeft, QRgb bottomRight) {
        FillRect({r.left, r.top, r.right - 1, r.top + 1}, topLeft);
        FillRect({r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
        FillRect({r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
        FillRect({r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    };
    frame(rect, kShadow, kHighlight);
    const Rect inner{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
    frame(inner, kHighlight, kShadow);
    return {rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2};
}

void DrawSurface::TextInBox(QStringView text, const Rect& box, const QFont& font, QColor colour,
                            std::optional<QColor> background) {
    if (box.IsEmpty()) {
        return;
    }
    const QRect rect = ToQRect(box, 0);
    if (font != keyedFont_) {
        keyedFont_ = font;
        fontKey_ = font.key().toUtf8();  // slow next to a copy of the box
    }
    QByteArray what;
    const auto add = [&what](const auto& value) {
        what.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    add('T');
    add(colour.rgba());
    add(background ? background->rgba() : QRgb{0});
    add(background.has_value());
    add(text.size());
    what.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    what.append(fontKey_);
    // Clipped to the box, the text draws nowhere else.
    DrawKept(rect, what, [&] { DrawTextInBox(rect, text, font, colour, background); });
}

template <class Draw>
void DrawSurface::DrawKept(const QRect& rect, const QByteArray& what, Draw draw) {
    // In device pixels, every pixel the box touches.
    const qreal ratio = image_.devicePixelRatio();
    const QRectF exact(rect.left() * ratio, rect.top() * ratio, rect.width() * ratio,
                       rect.height() * ratio);
    const QRect pixels = exact.toAlignedRect() & image_.rect();
    if (kept_ == nullptr || pixels.isEmpty() || image_.depth() != 32) {
        draw();
        return;
    }
    const qsizetype rowBytes = qsizetype{pixels.width()} * 4;
    QByteArray key;
    key.reserve(64 + what.size() + rowBytes * pixels.height());
    const auto add = [&key](const auto& value) {
        key.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    add(pixels.size());
    add(exact.size());
    add(exact.topLeft() - QPointF(pixels.topLeft()));  // where the box falls between pixels
    add(ratio);
    key.append(what);
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        key.append(reinterpret_cast<const char*>(image_.constScanLine(y)) + pixels.left() * 4,
                   rowBytes);
    }
    if (const QImage* after = kept_->Find(key)) {
        for (int y = 0; y < pixels.height(); ++y) {
            std::memcpy(image_.scanLine(pixels.top() + y) + pixels.left() * 4,
                        after->constScanLine(y), static_cast<std::size_t>(rowBytes));
        }
        return;
    }
    draw();
    kept_->Keep(key, image_.copy(pixels));
}

void DrawSurface::DrawTextInBox(const QRect& rect, QStringView text, const QFont& font,
                                QColor colour, std::optional<QColor> background) {
    // No save and restore: the painter keeps the font it resolved for the text before.
    painter_.setClipRect(rect);
    if (painter_.font() != font) {
        painter_.setFont(font);
    }
    painter_.setPen(colour);
    if (background) {
        painter_.setBackgroundMode(Qt::OpaqueMode);
        painter_.setBackground(*background);
    }
    painter_.drawText(rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text.toString());
    painter_.setBackgroundMode(Qt::TransparentMode);
    painter_.setClipping(false);
}

QImage DrawSurface::Finish() {
    if (painter_.isActive()) {
        painter_.end();
    }
    return std::move(image_);
}

}  // namespace pathlux::platform
