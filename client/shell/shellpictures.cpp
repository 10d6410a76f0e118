#include "client/shell/shellpictures.h"

#include "common/desktop/drawnicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ShellPictures {

QIcon ImageList2(int index)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(index == 1 ? QColor(40, 180, 60) : QColor(170, 170, 170));
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return QIcon(pixmap);
}

QIcon ImageListHand(int index)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(90, 60, 30), 1.2));
    if (index == 3) {
        // An envelope: the send-mail picture.
        painter.setBrush(QColor(250, 240, 200));
        painter.drawRect(QRectF(3.5, 6.5, 17, 12));
        painter.drawLine(QPointF(3.5, 6.5), QPointF(12, 13));
        painter.drawLine(QPointF(20.5, 6.5), QPointF(12, 13));
        return QIcon(pixmap);
    }
    // A palm with four fingers; raised, it is drawn higher and in colour.
    const qreal lift = index == 2 ? -4 : 2;
    painter.setBrush(index == 2 ? QColor(255, 200, 120) : QColor(225, 210, 190));
    painter.drawRoundedRect(QRectF(6, 10 + lift, 12, 10), 3, 3);
    for (int finger = 0; finger < 4; ++finger)
        painter.drawRoundedRect(QRectF(6 + finger * 3, 3 + lift, 2.6, 9), 1.2, 1.2);
    painter.drawRoundedRect(QRectF(16, 11 + lift, 5, 2.6), 1.2, 1.2);
    return QIcon(pixmap);
}

QPixmap Logo()
{
    QPixmap pixmap(52, 28);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 110, 200));
    painter.drawRoundedRect(QRectF(0, 0, 52, 28), 5, 5);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(14);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 52, 28), Qt::AlignCenter, QStringLiteral("Lumo"));
    return pixmap;
}

namespace {

// Drawn on a 16-unit grid scaled to the box.
void OnGrid(QPainter &painter, const QRectF &box)
{
    painter.translate(box.topLeft());
    painter.scale(box.width() / 16.0, box.height() / 16.0);
}

QColor Tinted(const QColor &colour, const DrawnIcon::Ink &ink)
{
    // Disabled, a picture keeps its shape in the palette's faint text.
    return ink.mode == QIcon::Disabled ? ink.text : colour;
}

} // namespace

QIcon ConnectIcon()
{
    return DrawnIcon::make([](QPainter &painter, const QRectF &box, const DrawnIcon::Ink &ink) {
        OnGrid(painter, box);
        painter.setPen(QPen(
            Tinted(QColor(30, 150, 60), ink), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4.5)}));
    });
}

QIcon DisconnectIcon()
{
    return DrawnIcon::make([](QPainter &painter, const QRectF &box, const DrawnIcon::Ink &ink) {
        OnGrid(painter, box);
        painter.setPen(QPen(Tinted(QColor(200, 40, 40), ink), 2.4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
    });
}

QIcon RefreshIcon()
{
    return DrawnIcon::make([](QPainter &painter, const QRectF &box, const DrawnIcon::Ink &ink) {
        OnGrid(painter, box);
        const QColor colour = Tinted(QColor(30, 110, 200), ink);
        painter.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(QPolygonF({QPointF(9.5, 0.8), QPointF(13.8, 3.6), QPointF(9.2, 6.2)}));
    });
}

QIcon ExtensionIcon(Qt::Orientation orientation)
{
    return DrawnIcon::make(
        [orientation](QPainter &painter, const QRectF &box, const DrawnIcon::Ink &ink) {
            OnGrid(painter, box);
            if (orientation == Qt::Vertical) {
                painter.translate(16, 0);
                painter.rotate(90);
            }
            painter.setPen(QPen(ink.text, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            for (const qreal x : {4.0, 8.5})
                painter.drawPolyline(
                    QPolygonF({QPointF(x, 4.5), QPointF(x + 3.5, 8), QPointF(x, 11.5)}));
        });
}

} // namespace ShellPictures
