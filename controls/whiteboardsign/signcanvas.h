#pragma once

#include "aulix_whiteboardsign_export.h"

#include <QImage>

class QPainter;

namespace WhiteBoard {

class SignModel;

// The settled signs rendered once into an image the size of the layer.
// A new sign lies above every other, so it is painted onto the image as it
// comes; only a removal re-renders, and only the removed sign's area, from
// the signs the spatial index finds there. A repaint is one image copy of
// the exposed area, however many signs there are.
class AULIX_WHITEBOARDSIGN_EXPORT SignCanvas
{
public:
    explicit SignCanvas(const SignModel &model);

    // The layer's size in pixels; a new size renders everything again at
    // the next paint.
    void setSize(const QSize &pixels);
    QSize size() const { return m_size; }

    void signAdded(int id);
    void repaintArea(const QRect &twips);
    void clear();
    void invalidate() { m_valid = false; }

    // Copies the exposed pixels of the rendered signs.
    void paint(QPainter &painter, const QRect &pixels);
    void rebuild();

    const QImage &image() const { return m_image; }

private:
    const SignModel &m_model;
    QImage m_image;
    QSize m_size;
    bool m_valid = false;
};

} // namespace WhiteBoard
