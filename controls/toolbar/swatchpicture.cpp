#include "controls/toolbar/swatchpicture.h"

#include "controls/toolbar/palettecolors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

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
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleDescription(colourName(m_cursor));
}

QString SwatchPicture::colourName(int index)
{
    static const char *const names[kSwatchCount]
        = {QT_TR_NOOP("红"), QT_TR_NOOP("黄"), QT_TR_NOOP("绿"), QT_TR_NOOP("青"), QT_TR_NOOP("蓝"),
            QT_TR_NOOP("深红"), QT_TR_NOOP("橙"), QT_TR_NOOP("深绿"), QT_TR_NOOP("天蓝"),
            QT_TR_NOOP("靛蓝"), QT_TR_NOOP("品红"), QT_TR_NOOP("淡紫"), QT_TR_NOOP("浅棕"),
            QT_TR_NOOP("浅灰"), QT_TR_NOOP("白"), QT_TR_NOOP("玫红"), QT_TR_NOOP("紫"),
            QT_TR_NOOP("棕"), QT_TR_NOOP("深灰"), QT_TR_NOOP("黑")};
    if (index < 0)
        return {};
    return tr(names[index % kSwatchCount]);
}

void SwatchPicture::moveCursorTo(int index)
{
    if (index == m_cursor)
        return;
    update(cellRect(m_cursor).adjusted(-1, -1, 1, 1));
    m_cursor = index;
    update(cellRect(m_cursor).adjusted(-1, -1, 1, 1));
    setAccessibleDescription(colourName(m_cursor));
}

void SwatchPicture::keyPressEvent(QKeyEvent *event)
{
    const int column = m_cursor % m_columns;
    const int row = m_cursor / m_columns;
    switch (event->key()) {
    case Qt::Key_Left: moveCursorTo(row * m_columns + qMax(0, column - 1)); break;
    case Qt::Key_Right: moveCursorTo(row * m_columns + qMin(m_columns - 1, column + 1)); break;
    case Qt::Key_Up: moveCursorTo(qMax(0, row - 1) * m_columns + column); break;
    case Qt::Key_Down: moveCursorTo(qMin(m_rows - 1, row + 1) * m_columns + column); break;
    case Qt::Key_Home: moveCursorTo(0); break;
    case Qt::Key_End: moveCursorTo(m_columns * m_rows - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        setMarked(m_cursor);
        Q_EMIT chosen(m_cursor);
        break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void SwatchPicture::focusInEvent(QFocusEvent *event)
{
    // The keyboard starts from the colour in use.
    moveCursorTo(m_marked);
    update();
    QWidget::focusInEvent(event);
}

void SwatchPicture::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

int SwatchPicture::cellAt(const QPoint &point) const
{
    const QPointF inside = QPointF(point) - QPointF(1, 1);
    return SwatchAt(int(std::floor(inside.x() * kTwipsPerPixel)),
        int(std::floor(inside.y() * kTwipsPerPixel)), m_columns, m_rows);
}

bool SwatchPicture::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = cellAt(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), colourName(index), this, cellRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
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
    if (hasFocus()) {
        // The keyboard cursor: dashed, in the highlight colour, inside the
        // cell so that it never hides the chosen frame.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DashLine));
        painter.drawRect(cellRect(m_cursor).adjusted(2, 2, -3, -3));
        painter.setPen(QPen(palette().color(QPalette::HighlightedText), 1, Qt::DotLine));
        painter.drawRect(cellRect(m_cursor).adjusted(3, 3, -4, -4));
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
    moveCursorTo(index);
    setMarked(index);
    Q_EMIT chosen(index);
}
