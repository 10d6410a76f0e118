#include "controls/toolbar/toolpictures.h"

#include "common/desktop/drawnicon.h"

#include <QPainterPath>
#include <QPolygonF>

namespace ToolPalette {

namespace {

// The tool pictures are designed on a 22 x 22 grid and the line-width
// pictures on 40 x 12; both scale to the box they are asked for.
constexpr qreal kToolDesign = 22;
constexpr QSizeF kWidthDesign(40, 12);

void DrawPointer(
    QPainter &painter, QPointF tip, double scale, const QColor &fill, const QColor &edge)
{
    const QPointF shape[]
        = {{0, 0}, {0, 13.5}, {3.5, 10.5}, {6.5, 15.5}, {9, 14.5}, {6.2, 9.5}, {10.5, 9.5}};
    QPainterPath path;
    path.moveTo(tip);
    for (const QPointF &point : shape)
        path.lineTo(tip + point * scale);
    path.closeSubpath();
    painter.setPen(QPen(edge, 1.0));
    painter.setBrush(fill);
    painter.drawPath(path);
}

// The text tool's bold serif "A", drawn as shapes: a letter from a font
// would load a whole face (a CJK one where those stand in for "Serif") for
// one picture at start.
void DrawSerifA(QPainter &painter, const QColor &ink)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    // Thick right stroke, thin left stroke, as a serif face draws them.
    painter.drawPolygon(QPolygonF({{10.1, 4.8}, {12.3, 4.8}, {16.7, 16.2}, {13.7, 16.2}}));
    painter.drawPolygon(QPolygonF({{10.1, 4.8}, {11.1, 4.8}, {6.9, 16.2}, {5.9, 16.2}}));
    painter.drawRect(QRectF(8.2, 11.6, 6.6, 1.3));
    // Feet.
    painter.drawRect(QRectF(4.0, 15.6, 4.8, 1.2));
    painter.drawRect(QRectF(12.2, 15.6, 6.0, 1.2));
}

void DrawTool(QPainter &painter, const QRectF &box, int index, const DrawnIcon::Ink &ink)
{
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / kToolDesign, box.height() / kToolDesign);
    const QColor &line = ink.text;
    const QPen outline(line, 1.6);
    switch (index) {
    // The no-tool pointer is the ground's colour edged in ink, like the
    // desktop's own pointer; the pointer tool is red whatever the theme.
    case 0: DrawPointer(painter, {6, 3}, 1.05, ink.base, line); break;
    case 1:
        painter.setPen(QPen(line, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.drawRect(QRectF(4, 6, 14, 10));
        break;
    case 2:
        painter.setPen(outline);
        painter.drawRoundedRect(QRectF(3.5, 5.5, 15, 11), 4, 4);
        break;
    case 3:
        painter.setPen(outline);
        painter.drawEllipse(QRectF(2.5, 5.5, 17, 11));
        break;
    case 4:
        painter.setPen(QPen(line, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4, 18), QPointF(18, 4));
        break;
    case 5: DrawSerifA(painter, line); break;
    case 6: DrawPointer(painter, {6, 3}, 1.05, QColor(220, 30, 30), ink.base); break;
    default: break;
    }
    painter.restore();
}

void DrawWidth(QPainter &painter, const QRectF &box, int width, const DrawnIcon::Ink &ink)
{
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / kWidthDesign.width(), box.height() / kWidthDesign.height());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(2, 6 - width / 2, 36, width), ink.text);
    painter.restore();
}

} // namespace

QIcon ToolIcon(int index)
{
    return DrawnIcon::make([index](QPainter &painter, const QRectF &box,
                               const DrawnIcon::Ink &ink) { DrawTool(painter, box, index, ink); });
}

QIcon LineWidthIcon(int width)
{
    return DrawnIcon::make([width](QPainter &painter, const QRectF &box,
                               const DrawnIcon::Ink &ink) { DrawWidth(painter, box, width, ink); });
}

QPixmap LineWidthPicture(int width)
{
    return LineWidthIcon(width).pixmap(kWidthDesign.toSize(), 1.0);
}

} // namespace ToolPalette
