#include "ttff/qt/plot_image.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <iterator>

namespace pathlux::ttff {
namespace {

// One colour per row, in the order of the targets.
const QColor kRowColours[] = {QColor(31, 119, 180), QColor(44, 160, 44), QColor(148, 103, 189)};
const QColor kMedianColour(200, 30, 30);
const QColor kP90Colour(230, 120, 0);
const QColor kGridColour(225, 225, 225);
const QColor kBandColour(246, 246, 246);
constexpr int kTextPixels = 12;
constexpr int kTitlePixels = 15;

QFont PlotFont(int pixels, bool bold) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The label goes right of the line, or left of it where the image would cut it off.
void DrawMark(QPainter& painter, const PlotMark& mark, const PlotRowLayout& row, int imageWidth,
              QPen pen, bool labelAtTop) {
    painter.setPen(pen);
    painter.drawLine(mark.x, row.top + 14, mark.x, row.bottom - 14);
    painter.setPen(pen.color());
    const QString label = Q(mark.label);
    const int width = painter.fontMetrics().horizontalAdvance(label);
    const bool fitsRight = mark.x + 4 + width <= imageWidth - 2;
    const QRect box(fitsRight ? mark.x + 4 : mark.x - 4 - width,
                    labelAtTop ? row.top + 1 : row.bottom - 15, width, 14);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, label);
}

}  // namespace

QImage DrawPlot(const PlotLayout& layout) {
    QImage image(layout.width, layout.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setFont(PlotFont(kTitlePixels, true));
    painter.setPen(Qt::black);
    painter.drawText(QRect(8, 4, layout.width - 16, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     Q(layout.title));

    for (std::size_t i = 0; i < layout.rows.size(); ++i) {
        const PlotRowLayout& row = layout.rows[i];
        if (i % 2 == 0) {
            painter.fillRect(QRect(0, row.top, layout.width, row.bottom - row.top), kBandColour);
        }
    }
    const int gridTop = layout.rows.empty() ? layout.axisY : layout.rows.front().top;
    painter.setPen(QPen(kGridColour, 1));
    for (const PlotMark& tick : layout.ticks) {
        painter.drawLine(tick.x, gridTop, tick.x, layout.axisY);
    }

    painter.setFont(PlotFont(kTextPixels, false));
    for (std::size_t i = 0; i < layout.rows.size(); ++i) {
        const PlotRowLayout& row = layout.rows[i];
        const QColor colour = kRowColours[i % std::size(kRowColours)];
        const int middle = (row.top + row.bottom) / 2;
        painter.setPen(Qt::black);
        painter.setFont(PlotFont(kTitlePixels, true));
        painter.drawText(QRect(8, middle - 18, layout.axisLeft - 12, 20),
                         Qt::AlignLeft | Qt::AlignVCenter, Q(row.label));
        painter.setFont(PlotFont(kTextPixels, false));
        if (!row.failureLabel.empty()) {
            painter.setPen(kMedianColour);
            painter.drawText(QRect(8, middle + 2, layout.axisLeft - 12, 16),
                             Qt::AlignLeft | Qt::AlignVCenter, Q(row.failureLabel));
        }
        painter.setPen(QPen(colour.darker(130), 1));
        painter.setBrush(colour);
        for (const PlotDot& dot : row.dots) {
            painter.drawEllipse(QPoint(dot.x, dot.y), layout.dotRadius, layout.dotRadius);
        }
        painter.setBrush(Qt::NoBrush);
        if (row.median) {
            DrawMark(painter, *row.median, row, layout.width, QPen(kMedianColour, 2), true);
        }
        if (row.p90) {
            DrawMark(painter, *row.p90, row, layout.width, QPen(kP90Colour, 2, Qt::DashLine),
                     false);
        }
    }

    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(layout.axisLeft, layout.axisY, layout.axisRight, layout.axisY);
    for (const PlotMark& tick : layout.ticks) {
        painter.drawLine(tick.x, layout.axisY, tick.x, layout.axisY + 4);
        painter.drawText(QRect(tick.x - 30, layout.axisY + 5, 60, 14), Qt::AlignCenter,
                         Q(tick.label));
    }
    painter.drawText(
        QRect(layout.axisLeft, layout.axisY + 20, layout.axisRight - layout.axisLeft, 16),
        Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("seconds from the restart command"));
    painter.end();
    return image;
}

bool SavePlot(const PlotLayout& layout, const QString& path) {
    return DrawPlot(layout).save(path, "PNG");
}

}  // namespace pathlux::ttff
