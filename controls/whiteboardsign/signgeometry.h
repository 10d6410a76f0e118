#pragma once

#include "controls/whiteboardsign/sign.h"
#include "controls/whiteboardsign/whiteboardsignmodel_export.h"

#include <QRectF>

namespace WhiteBoard {

// Geometry shared by the hit test, the spatial index and the painter, so
// that all three agree on where a sign's ink lies.

// Pen width in pixels as painted.
WHITEBOARDSIGNMODEL_EXPORT int PenWidthPixels(qint16 lineWidth);

// The figure actually drawn for an outline shape: squares, circles and
// rounded squares are the largest such figure centred in the dragged box.
WHITEBOARDSIGNMODEL_EXPORT QRect FigureRect(ShapeType shape, const QRect &box);

// Corner radius of the rounded kinds, in the units of the figure.
WHITEBOARDSIGNMODEL_EXPORT double CornerRadius(const QRect &figure);

// Twips rectangle that painting the sign may touch (pen and antialiasing
// included).
WHITEBOARDSIGNMODEL_EXPORT QRect InkBounds(const Sign &sign);

// False only when no ink of the sign can fall inside `twips` (an area inside
// an outline shape, or beside a line, within the sign's bounds); true
// otherwise, so a repaint of the area may skip the sign when it is false.
WHITEBOARDSIGNMODEL_EXPORT bool InkMeets(const Sign &sign, const QRect &twips);

// True when `point` lies on the sign's ink or within `tolerance` twips of it.
WHITEBOARDSIGNMODEL_EXPORT bool HitsSign(const Sign &sign, const QPoint &point, int tolerance);

// Pixel rectangle covering a twips rectangle (rounded outwards).
WHITEBOARDSIGNMODEL_EXPORT QRect TwipsToPixels(const QRect &twips);
WHITEBOARDSIGNMODEL_EXPORT QRectF TwipsToPixelsF(const QRect &twips);
WHITEBOARDSIGNMODEL_EXPORT QRect PixelsToTwips(const QRect &pixels);

} // namespace WhiteBoard
