#pragma once

#include "controls/whiteboardsign/shapetype.h"

#include <QPoint>
#include <QRect>
#include <QString>

namespace WhiteBoard {

// One mark on the board, in twips. Only the fields of its kind are used.
struct Sign {
    ShapeType shape = stRectangle;
    QRect box; // outline shapes: the dragged rectangle; labels: the text box
    QPoint from; // line ends
    QPoint to;
    quint32 color = 0; // red in the low byte, then green, then blue
    qint16 lineWidth = 0; // pixels; 0 keeps the element's default of 1
    QString text;
    QString fontName;
    qint16 fontSize = 0;
    QRect bounds; // everything that painting the sign may touch
    int index = 0; // position in its kind's element list, from 1
    bool alive = true;
};

} // namespace WhiteBoard
