#pragma once

#include "controls/whiteboardsign/aulix_whiteboardsign_export.h"
#include "controls/whiteboardsign/sign.h"

#include <QColor>
#include <QFont>
#include <QImage>

class QPainter;

namespace WhiteBoard {

// Colour values are red in the low byte, then green, then blue.
AULIX_WHITEBOARDSIGN_EXPORT QColor ColorFromValue(quint32 value);

// The font of a text sign. Sizes are points on a 96 dpi screen (the 15
// twips a pixel of the host), turned into pixels so that measuring and
// painting agree on every device. Sizes outside 1..200 are clamped: a
// peer may send any 16-bit number, and a glyph thousands of pixels high
// would stall every repaint.
AULIX_WHITEBOARDSIGN_EXPORT QFont LabelFont(const QString &name, qint16 pointSize);
AULIX_WHITEBOARDSIGN_EXPORT QSize LabelSizeTwips(const QString &text, const QFont &font);

// Paints one sign; the painter works in pixels.
AULIX_WHITEBOARDSIGN_EXPORT void PaintSign(QPainter &painter, const Sign &sign);

// The pointer picture, 48 pixels square. Its tip is at the centre, so a
// picture centred on a point points at it. With a device pixel ratio, it is
// drawn at that density (and carries the ratio), for a crisp pointer on a
// high-density screen.
AULIX_WHITEBOARDSIGN_EXPORT const QImage &ArrowPicture();
AULIX_WHITEBOARDSIGN_EXPORT QImage ArrowPicture(qreal devicePixelRatio);

} // namespace WhiteBoard
