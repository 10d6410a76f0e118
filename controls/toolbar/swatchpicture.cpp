#include "controls/toolbar/swatchpicture.h"

#include "controls/toolbar/palettecolors.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

using namespace ToolPalette;

SwatchPicture::SwatchPicture(int columns, int rows, QWidget *parent)
    : QWidget(parent)
    , m_columns(columns)
    , m_rows(rows)
{
    // One pixel more on each side leaves room for the marking frame.
    setFixedSize(columns * kSwatchPixels + 2, rows * kSwatchPixels + 2);
    setCursor(Qt::PointingHandCursor);
}

QRect SwatchPicture::cellRect(int index) const
{
    const int column = index % m_columns;
    const int row = index / m_columns;
    return {1 + column * kSwatchPixels, 1 + row * kSwatchPixels, kSwatchPixels, kSwatchPixels};
}

void SwatchPicture::setMarked(int index)
{
    if (index == m_marked)
        return;
    update(cellRect(m_marked).adjusted(-1, -1, 1, 1));
    m_marked = index;
    update(cellRect(m_marked).adjusted(-1, -1, 1, 1));
}

void SwatchPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    for (int index = 0; index < m_columns * m_rows; ++index) {
        const quint32 value = kSwatchColors[std::size_t(index % kSwatchCount)];
        const QColor color(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
        const QRect cell = cellRect(index);
        painter.fillRect(cell.adjusted(1, 1, -1, -1), color);
        painter.setPen(QColor(128, 128, 128));
        painter.drawRect(cell.adjusted(1, 1, -2, -2));
    }
    if (m_marked >= 0) {
        // Black outside, white inside: visible on the white and the black cell.
        const QRect cell = cellRect(m_marked);
        painter.setPen(Qt::black);
        painter.drawRect(cell.adjusted(-1, -1, 0, 0));
        painter.setPen(Qt::white);
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
    }
}

void SwatchPicture::mousePressEvent(QMouseEvent *event)
{
    // Cells start one pixel in; the frame's margin belongs to no cell.
    const QPointF inside = event->position() - QPointF(1, 1);
    const int x = int(std::floor(inside.x() * kTwipsPerPixel));
    const int y = int(std::floor(inside.y() * kTwipsPerPixel));
    const int index = SwatchAt(x, y, m_columns, m_rows);
    if (index < 0)
        return;
    setMarked(index);
    Q_EMIT chosen(index);
}
