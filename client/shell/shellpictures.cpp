#include "client/shell/shellpictures.h"

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

} // namespace ShellPictures
