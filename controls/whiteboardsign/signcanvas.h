#pragma once

#include "controls/whiteboardsign/aulix_whiteboardsign_export.h"

#include <QImage>

class QPainter;

namespace WhiteBoard {

class SignModel;

// The settled signs rendered once into an image the size of the layer.
// A new sign lies above every other, so it is painted onto the image as it
// comes; a repaint is one image copy of the exposed area, however many
// signs there are.
//
// Removing a sign re-renders its area from the signs the spatial index
// finds there, except in the common case of removing the sign that was
// just drawn (a sign refused right after the user drew it): the pixels it
// covered are kept from before it was painted and put back.
class AULIX_WHITEBOARDSIGN_EXPORT SignCanvas
{
public:
    explicit SignCanvas(const SignModel &model);

    // The layer's size in pixels. What is already rendered is kept; only
    // the newly uncovered part is rendered, at the next paint.
    void setSize(const QSize &pixels);
    QSize size() const { return m_size; }

    void signAdded(int id);
    // `id` is gone from the model; `twips` is the area it covered.
    void signRemoved(int id, const QRect &twips);
    void clear();

    // Copies the exposed pixels of the rendered signs.
    void paint(QPainter &painter, const QRect &pixels);
    // Renders every sign again.
    void rebuild();

    const QImage &image() const { return m_image; }

private:
    void ensureSize();
    void renderArea(QPainter &painter, const QRect &pixels) const;

    const SignModel &m_model;
    QImage m_image;
    QSize m_size;
    bool m_valid = false;
    // The pixels under the newest painted sign, from before it was painted.
    QImage m_under;
    QPoint m_underAt;
    int m_underId = -1;
};

} // namespace WhiteBoard
