#include "controls/whiteboardsign/signpainter.h"

#include "controls/whiteboardsign/signgeometry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace WhiteBoard {

QColor ColorFromValue(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QFont LabelFont(const QString &name, qint16 pointSize)
{
    QFont font(name);
    const int points = std::clamp(int(pointSize), 1, 200);
    font.setPixelSize(std::max(1, int(std::lround(points * 96.0 / 72.0))));
    return font;
}

QSize LabelSizeTwips(const QString &text, const QFont &font)
{
    if (text.isEmpty())
        return {};
    const QFontMetrics metrics(font);
    const QRect box
        = metrics.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::AlignLeft | Qt::AlignTop, text);
    return {(box.width() + 1) * kTwipsPerPixel, box.height() * kTwipsPerPixel};
}

namespace {

// Odd pen widths centred on whole pixels smear over two; half a pixel
// puts the stroke on the pixel grid.
QRectF AlignedFigure(const QRect &twips, int penWidth)
{
    const QRectF pixels = TwipsToPixelsF(twips);
    QRectF aligned(std::round(pixels.x()), std::round(pixels.y()), std::round(pixels.width()),
        std::round(pixels.height()));
    if (penWidth % 2 == 1)
        aligned.translate(0.5, 0.5);
    return aligned;
}

} // namespace

void PaintSign(QPainter &painter, const Sign &sign)
{
    const int penWidth = PenWidthPixels(sign.lineWidth);
    const QColor color = ColorFromValue(sign.color);
    painter.save();
    switch (sign.shape) {
    case stRectangle:
    case stSquare: {
        // Four filled bands: the same pixels whether or not the rectangle
        // is clipped, which a stroked outline does not promise.
        const QRectF pixels = TwipsToPixelsF(FigureRect(sign.shape, sign.box));
        const QRect figure(int(std::lround(pixels.x())), int(std::lround(pixels.y())),
            int(std::lround(pixels.width())), int(std::lround(pixels.height())));
        const QRect outer(figure.left() - penWidth / 2, figure.top() - penWidth / 2,
            figure.width() + penWidth, figure.height() + penWidth);
        if (outer.width() <= 2 * penWidth || outer.height() <= 2 * penWidth) {
            painter.fillRect(outer, color);
            break;
        }
        painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), penWidth), color);
        painter.fillRect(
            QRect(outer.left(), outer.bottom() - penWidth + 1, outer.width(), penWidth), color);
        painter.fillRect(
            QRect(outer.left(), outer.top() + penWidth, penWidth, outer.height() - 2 * penWidth),
            color);
        painter.fillRect(QRect(outer.right() - penWidth + 1, outer.top() + penWidth, penWidth,
                             outer.height() - 2 * penWidth),
            color);
        break;
    }
    case stRoundedRectangle:
    case stRoundedSquare: {
        const QRect figure = FigureRect(sign.shape, sign.box);
        const double radius = CornerRadius(figure) / kTwipsPerPixel;
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(color, penWidth, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(AlignedFigure(figure, penWidth), radius, radius);
        break;
    }
    case stOval:
    case stCircle:
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(color, penWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(AlignedFigure(FigureRect(sign.shape, sign.box), penWidth));
        break;
    case stLine:
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(color, penWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(sign.from) / kTwipsPerPixel, QPointF(sign.to) / kTwipsPerPixel);
        break;
    case stText:
        if (!sign.text.isEmpty()) {
            painter.setRenderHint(QPainter::TextAntialiasing, true);
            painter.setFont(LabelFont(sign.fontName, sign.fontSize));
            painter.setPen(color);
            const QRect box = TwipsToPixels(sign.box);
            painter.drawText(QRect(box.topLeft(), QSize(1 << 20, 1 << 20)),
                Qt::AlignLeft | Qt::AlignTop, sign.text);
        }
        break;
    case stArrow: break;
    }
    painter.restore();
}

namespace {

QImage DrawArrow(qreal ratio)
{
    const int side = int(std::ceil(48 * ratio));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // A classic pointer whose tip sits at the picture's centre.
    const QPointF shape[]
        = {{0, 0}, {0, 13.5}, {3.5, 10.5}, {6.5, 15.5}, {9, 14.5}, {6.2, 9.5}, {10.5, 9.5}};
    QPainterPath path;
    path.moveTo(shape[0]);
    for (const QPointF &point : shape)
        path.lineTo(point);
    path.closeSubpath();
    painter.translate(24, 24);
    painter.scale(1.5, 1.5);
    painter.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(220, 30, 30));
    painter.drawPath(path);
    return image;
}

} // namespace

const QImage &ArrowPicture()
{
    static const QImage picture = DrawArrow(1.0);
    return picture;
}

QImage ArrowPicture(qreal devicePixelRatio)
{
    if (!(devicePixelRatio > 0) || qFuzzyCompare(devicePixelRatio, 1.0))
        return ArrowPicture();
    // Screens come in a few densities; the last one drawn is kept.
    static QImage last;
    if (last.isNull() || !qFuzzyCompare(last.devicePixelRatio(), devicePixelRatio))
        last = DrawArrow(devicePixelRatio);
    return last;
}

} // namespace WhiteBoard
