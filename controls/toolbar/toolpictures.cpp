#include "controls/toolbar/toolpictures.h"

#include <QPainter>
#include <QPainterPath>

namespace ToolPalette {

namespace {

constexpr int kIconSize = 22;

void DrawPointer(QPainter &painter, QPointF tip, double scale, const QColor &fill)
{
    const QPointF shape[]
        = {{0, 0}, {0, 13.5}, {3.5, 10.5}, {6.5, 15.5}, {9, 14.5}, {6.2, 9.5}, {10.5, 9.5}};
    QPainterPath path;
    path.moveTo(tip);
    for (const QPointF &point : shape)
        path.lineTo(tip + point * scale);
    path.closeSubpath();
    painter.setPen(QPen(fill == Qt::white ? Qt::black : Qt::white, 1.0));
    painter.setBrush(fill);
    painter.drawPath(path);
}

} // namespace

QIcon ToolIcon(int index)
{
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPen outline(QColor(20, 20, 20), 1.6);
    const QRectF frame(3.5, 5.5, 15, 11);
    switch (index) {
    case 0: DrawPointer(painter, {6, 3}, 1.05, Qt::white); break;
    case 1:
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(QColor(20, 20, 20), 2));
        painter.drawRect(QRect(4, 6, 14, 10));
        break;
    case 2:
        painter.setPen(outline);
        painter.drawRoundedRect(frame, 4, 4);
        break;
    case 3:
        painter.setPen(outline);
        painter.drawEllipse(QRectF(2.5, 5.5, 17, 11));
        break;
    case 4:
        painter.setPen(QPen(QColor(20, 20, 20), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4, 18), QPointF(18, 4));
        break;
    case 5: {
        QFont font = painter.font();
        font.setPixelSize(17);
        font.setBold(true);
        font.setFamily(QStringLiteral("Serif"));
        painter.setFont(font);
        painter.setPen(QColor(20, 20, 20));
        painter.drawText(QRect(0, 0, kIconSize, kIconSize), Qt::AlignCenter, QStringLiteral("A"));
        break;
    }
    case 6: DrawPointer(painter, {6, 3}, 1.05, QColor(220, 30, 30)); break;
    default: break;
    }
    return QIcon(pixmap);
}

QPixmap LineWidthPicture(int width)
{
    QPixmap pixmap(40, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(2, 6 - width / 2, 36, width), Qt::black);
    return pixmap;
}

} // namespace ToolPalette
