#include "controls/coursemanage/courseicons.h"

#include "controls/coursemanage/courseware/coursepictures.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

using namespace Qt::StringLiterals;

namespace {

constexpr int Size = 32; // drawn large, scaled down by the view

// A sheet of paper with a folded corner, the base of most file pictures.
void drawPage(QPainter &p, const QColor &band)
{
    QPainterPath page;
    page.moveTo(6, 2);
    page.lineTo(21, 2);
    page.lineTo(27, 8);
    page.lineTo(27, 30);
    page.lineTo(6, 30);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(220, 220, 220));
    p.drawPolygon(QPolygonF({QPointF(21, 2), QPointF(21, 8), QPointF(27, 8)}));
    if (band.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(band);
        p.drawRect(QRectF(3, 17, 22, 10));
    }
}

void drawLabel(QPainter &p, const QString &text, const QColor &color = Qt::white)
{
    QFont font = p.font();
    font.setPixelSize(text.size() > 2 ? 8 : 9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(color);
    p.drawText(QRectF(3, 17, 22, 10), Qt::AlignCenter, text);
}

void drawFolder(QPainter &p)
{
    p.setPen(QPen(QColor(150, 110, 20), 1.2));
    p.setBrush(QColor(240, 200, 80));
    p.drawRoundedRect(QRectF(2, 6, 12, 6), 1.5, 1.5);
    p.setBrush(QColor(250, 215, 100));
    p.drawRoundedRect(QRectF(2, 9, 28, 19), 2, 2);
}

void drawGlobe(QPainter &p, const QColor &sea)
{
    p.setPen(QPen(sea.darker(150), 1.4));
    p.setBrush(sea);
    p.drawEllipse(QRectF(4, 4, 24, 24));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.2));
    p.drawEllipse(QRectF(10, 4, 12, 24));
    p.drawLine(QPointF(4, 16), QPointF(28, 16));
    p.drawLine(QPointF(6, 10), QPointF(26, 10));
    p.drawLine(QPointF(6, 22), QPointF(26, 22));
}

void drawUrl(QPainter &p)
{
    drawGlobe(p, QColor(40, 150, 90));
    // A chain link: an address, not a page.
    p.setPen(QPen(QColor(60, 60, 60), 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(15, 19, 9, 5), 2.5, 2.5);
    p.drawRoundedRect(QRectF(20, 24, 9, 5), 2.5, 2.5);
}

void drawIe(QPainter &p)
{
    drawGlobe(p, QColor(60, 130, 220));
    QFont font = p.font();
    font.setPixelSize(20);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    p.setPen(QColor(250, 200, 40));
    p.drawText(QRectF(4, 3, 24, 24), Qt::AlignCenter, u"e"_s);
}

void drawMovie(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawRect(QRectF(3, 5, 26, 22));
    p.setBrush(Qt::white);
    for (int i = 0; i < 6; ++i) {
        p.drawRect(QRectF(5 + i * 4, 7, 2, 2));
        p.drawRect(QRectF(5 + i * 4, 23, 2, 2));
    }
    p.setBrush(QColor(120, 170, 230));
    p.drawRect(QRectF(5, 11, 22, 10));
    p.setBrush(QColor(250, 250, 250));
    p.drawPolygon(QPolygonF({QPointF(13, 12), QPointF(13, 20), QPointF(20, 16)}));
}

void drawNote(QPainter &p, const QColor &color)
{
    p.setPen(QPen(color, 2));
    p.setBrush(color);
    p.drawEllipse(QRectF(6, 21, 7, 6));
    p.drawEllipse(QRectF(18, 18, 7, 6));
    p.drawLine(QPointF(12.5, 24), QPointF(12.5, 6));
    p.drawLine(QPointF(24.5, 21), QPointF(24.5, 4));
    p.drawPolygon(
        QPolygonF({QPointF(12.5, 6), QPointF(24.5, 4), QPointF(24.5, 8), QPointF(12.5, 10)}));
}

void drawWave(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 60, 100));
    p.drawRoundedRect(QRectF(2, 6, 28, 20), 3, 3);
    p.setPen(QPen(QColor(120, 230, 140), 1.6));
    const int heights[] = {2, 5, 9, 6, 3, 8, 10, 4, 7, 2, 5};
    for (int i = 0; i < 11; ++i)
        p.drawLine(QPointF(5 + i * 2.2, 16 - heights[i]), QPointF(5 + i * 2.2, 16 + heights[i]));
}

void drawPhoto(QPainter &p)
{
    p.setPen(QPen(QColor(90, 90, 90), 1.2));
    p.setBrush(QColor(150, 200, 250));
    p.drawRect(QRectF(3, 5, 26, 22));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 210, 60));
    p.drawEllipse(QRectF(20, 8, 6, 6));
    p.setBrush(QColor(60, 140, 60));
    p.drawPolygon(QPolygonF({QPointF(3.6, 26.4), QPointF(12, 13), QPointF(19, 22), QPointF(22, 18),
        QPointF(28.4, 26.4)}));
}

void drawFlash(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 40));
    p.drawRoundedRect(QRectF(3, 3, 26, 26), 5, 5);
    QFont font = p.font();
    font.setPixelSize(22);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, u"f"_s);
}

void drawVectorPage(QPainter &p)
{
    drawPage(p, QColor());
    p.setPen(QPen(QColor(200, 60, 160), 1.6));
    p.setBrush(QColor(250, 180, 230));
    p.drawEllipse(QRectF(8, 8, 10, 10));
    p.setPen(QPen(QColor(40, 120, 200), 1.6));
    p.setBrush(QColor(160, 210, 250));
    p.drawRect(QRectF(13, 17, 11, 9));
}

void drawText(QPainter &p)
{
    drawPage(p, QColor());
    p.setPen(QPen(QColor(110, 110, 110), 1.4));
    for (int y = 9; y <= 27; y += 4)
        p.drawLine(QPointF(9, y), QPointF(y == 27 ? 18 : 24, y));
}

QPixmap draw(const QString &key)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (key == u"folder"_s) {
        drawFolder(p);
    } else if (key == u"url"_s) {
        drawUrl(p);
    } else if (key == u"ie"_s) {
        drawIe(p);
    } else if (key == u"mov"_s) {
        drawMovie(p);
    } else if (key == u"swf"_s) {
        drawFlash(p);
    } else if (key == u"png"_s) {
        drawPage(p, QColor(30, 140, 120));
        drawLabel(p, u"PNG"_s);
    } else if (key == u"mp3"_s) {
        drawNote(p, QColor(130, 50, 180));
    } else if (key == u"wmf"_s) {
        drawVectorPage(p);
    } else if (key == u"gif"_s) {
        drawPage(p, QColor(230, 120, 20));
        drawLabel(p, u"GIF"_s);
    } else if (key == u"jpg"_s) {
        drawPhoto(p);
    } else if (key == u"txt"_s) {
        drawText(p);
    } else if (key == u"wav"_s) {
        drawWave(p);
    } else {
        drawPage(p, QColor(150, 150, 150));
        drawLabel(p, u"?"_s);
    }
    return pixmap;
}

} // namespace

QIcon CourseIcons::icon(const QString &pictureKey)
{
    static QHash<QString, QIcon> cache;
    const QString key = Courseware::PictureKeys().contains(pictureKey) ? pictureKey : u"other"_s;
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    const QIcon icon(draw(key));
    cache.insert(key, icon);
    return icon;
}
