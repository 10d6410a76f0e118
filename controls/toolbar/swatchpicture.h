#pragma once

#include "controls/toolbar/aulix_whiteboardtoolbar_export.h"

#include <QWidget>

// One of the two swatch pictures of the tool palette: a grid of colour
// cells with a frame on the chosen one. Any mouse button picks a colour;
// with the focus, the arrow keys move a dashed cursor and Enter or Space
// picks the colour under it.
// Exported for the tests only.
class AULIX_WHITEBOARDTOOLBAR_EXPORT SwatchPicture : public QWidget
{
    Q_OBJECT

public:
    SwatchPicture(int columns, int rows, QWidget *parent = nullptr);

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    int marked() const { return m_marked; }
    int cursorCell() const { return m_cursor; }
    // The name of a swatch colour ("红", "天蓝" ...), for tooltips and the
    // screen reader.
    static QString colourName(int index);
    void setMarked(int index);
    // Pixel rectangle of a cell, for tests and the frame.
    QRect cellRect(int index) const;

Q_SIGNALS:
    void chosen(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool event(QEvent *event) override;

private:
    int m_columns;
    int m_rows;
    int m_marked = 0;
    int m_cursor = 0;

    void moveCursorTo(int index);
    int cellAt(const QPoint &point) const;
};
