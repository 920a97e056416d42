#include "ui/trendimages.h"

#include <array>
#include <initializer_list>

#include <QPainter>
#include <QPolygon>

namespace {

struct TArrowDrawing {
    QRgb Colour;
    std::initializer_list<std::initializer_list<int>> Shapes;  // x, y pairs, one polygon each
};

// Keep points right, up climbs, down falls, full climbs twice.
const std::array<TArrowDrawing, TrendCellCount> TrendDrawings{{
    {qRgb(0x20, 0xA0, 0x20), {{1, 4, 6, 4, 6, 1, 11, 6, 6, 11, 6, 8, 1, 8}}},
    {qRgb(0xE0, 0x80, 0x00), {{6, 1, 11, 6, 8, 6, 8, 11, 4, 11, 4, 6, 1, 6}}},
    {qRgb(0x20, 0x60, 0xE0), {{6, 11, 11, 6, 8, 6, 8, 1, 4, 1, 4, 6, 1, 6}}},
    {qRgb(0xE0, 0x10, 0x10), {{6, 0, 12, 6, 0, 6}, {6, 6, 12, 12, 0, 12}}},
}};

}  // namespace

QImage TrendCell(int cell) {
    if (cell < 0 || cell >= TrendCellCount) return {};
    QImage image(TrendCellSize, TrendCellSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const TArrowDrawing& drawing = TrendDrawings[static_cast<std::size_t>(cell)];
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(drawing.Colour));
    for (const auto& shape : drawing.Shapes) {
        QPolygon polygon;
        for (auto point = shape.begin(); point + 1 < shape.end(); point += 2) polygon << QPoint(point[0], point[1]);
        painter.drawPolygon(polygon);
    }
    return image;
}
