#pragma once

#include "controls/toolbar/aulix_whiteboardtoolbar_export.h"

#include <QWidget>

// One of the two swatch pictures of the tool palette: a grid of colour
// cells with a frame on the chosen one. Any mouse button picks a colour.
// Exported for the tests only.
class AULIX_WHITEBOARDTOOLBAR_EXPORT SwatchPicture : public QWidget
{
    Q_OBJECT

public:
    SwatchPicture(int columns, int rows, QWidget *parent = nullptr);

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    int marked() const { return m_marked; }
    void setMarked(int index);
    // Pixel rectangle of a cell, for tests and the frame.
    QRect cellRect(int index) const;

Q_SIGNALS:
    void chosen(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    int m_columns;
    int m_rows;
    int m_marked = 0;
};
