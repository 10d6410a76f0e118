#pragma once

#include "controls/whiteboardsign/aulix_whiteboardsign_export.h"

#include <QImage>
#include <QRegion>

#include <vector>

class QPainter;

namespace WhiteBoard {

class SignModel;

// The settled signs rendered into an image the size of the layer, in the
// screen's device pixels (the device pixel ratio times the layer's size),
// so that strokes and text stay crisp on high-density screens.
//
// The image is rendered in square tiles, a few at a time: a board with
// thousands of signs shows at once and fills in over the next moments,
// instead of stopping the user interface until every sign is drawn. A
// paint renders what it exposes for a short time and draws the tiles that
// are ready; renderPending() renders more, and the owner repaints what it
// answers, until complete().
//
// A new sign lies above every other, so it is painted onto the image as it
// comes. Removing a sign renders again only the pieces along its ink, from
// the signs whose ink meets them; removing the sign that was just drawn
// (a sign refused right after the user drew it) puts back the pixels it
// covered, kept from before it was painted.
class AULIX_WHITEBOARDSIGN_EXPORT SignCanvas
{
public:
    // How long a paint may render tiles, and one renderPending() slice, in
    // milliseconds of this thread's CPU time (a busy machine does not make
    // a paint show less).
    static constexpr int kPaintBudgetMs = 25;
    static constexpr int kSliceBudgetMs = 12;

    explicit SignCanvas(const SignModel &model);

    // The layer's size in pixels. What is already rendered is kept; only
    // the newly uncovered part is rendered.
    void setSize(const QSize &pixels);
    QSize size() const { return m_size; }
    // Device pixels per pixel. A change renders everything again.
    void setDevicePixelRatio(qreal ratio);
    qreal devicePixelRatio() const { return m_ratio; }

    void signAdded(int id);
    // `id` is gone from the model; `twips` is the area it covered.
    void signRemoved(int id, const QRect &twips);
    void clear();

    // Draws the exposed pixels of the rendered signs, rendering the tiles
    // they need first for up to `budgetMs`; a tile not rendered yet is left
    // undrawn. Answers whether all of `pixels` was drawn.
    bool paint(QPainter &painter, const QRect &pixels, int budgetMs = kPaintBudgetMs);
    // Renders tiles not rendered yet for up to `budgetMs` (at least one);
    // answers the pixels that became ready.
    QRegion renderPending(int budgetMs = kSliceBudgetMs);
    bool complete() const;
    // Renders every sign again, all at once.
    void rebuild();

    // The rendered signs, in device pixels.
    const QImage &image() const { return m_image; }

private:
    void ensureImage();
    int columns() const;
    int rows() const;
    QRect tileRect(int tile) const;
    void renderTile(int tile);
    // Renders `device` (device pixels) from the signs whose ink meets one
    // of `pieces` (twips), or every sign in the area when `pieces` is empty.
    void renderDeviceArea(const QRegion &device, const std::vector<QRect> &pieces);
    QRect toDevice(const QRect &pixels) const;
    QRect toPixels(const QRect &device) const;
    void forgetUnder();

    const SignModel &m_model;
    QImage m_image;
    QSize m_size;
    qreal m_ratio = 1.0;
    int m_tileSide = 128; // device pixels
    std::vector<bool> m_ready; // per tile, rows of columns
    int m_pending = 0; // tiles not ready
    // The pixels under the newest painted sign, from before it was painted.
    QImage m_under;
    QRect m_underAt; // device pixels
    int m_underId = -1;
};

} // namespace WhiteBoard
