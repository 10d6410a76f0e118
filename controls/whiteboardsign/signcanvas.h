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
// A board with thousands of signs is rendered a slice at a time, in drawing
// order: it shows at once with the signs drawn so far, and the rest appear
// above them over the next moments, instead of the user interface stopping
// until every sign is drawn. A paint renders for a short time and draws
// the image; renderPending() renders more, and the owner repaints what it
// answers, until complete(). Each sign is drawn once, so the whole fill
// costs what rendering the board at once does.
//
// A new sign lies above every other, so it is painted onto the image as it
// comes. Removing a sign renders again only the pieces along its ink, from
// the signs whose ink meets them. Two more images keep the board without
// its newest signs: one without the last kLag, one without the last
// kDeepLag. Removing one of those newest signs (ClearLastSign removes the
// newest of a kind, which may lie under hundreds of other kinds) takes the
// pieces from the nearest image below it and paints again only the newer
// signs there, however crowded the board; the images above it are mended
// the same way, each from the one below. Each image follows the board one
// sign per added sign, so no add pays for catching up. Removing the sign
// that was just drawn (a sign refused right after the user drew it) puts
// back the pixels it covered, kept from before it was painted.
class AULIX_WHITEBOARDSIGN_EXPORT SignCanvas
{
public:
    // How long a paint may render, and one renderPending() slice, in
    // milliseconds of this thread's CPU time (a busy machine does not make
    // a paint show less). Each is well under a frame (16 ms): a slice of
    // received messages or a paint may run beside it in one turn of the
    // event loop.
    static constexpr int kPaintBudgetMs = 6;
    static constexpr int kSliceBudgetMs = 6;
    // How many of the newest signs each board below them leaves out.
    static constexpr int kLag = 128;
    static constexpr int kDeepLag = 1024;

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

    // Renders signs not drawn yet for up to `budgetMs`, then draws the
    // exposed pixels. Answers whether every sign is in them.
    bool paint(QPainter &painter, const QRect &pixels, int budgetMs = kPaintBudgetMs);
    // Renders signs not drawn yet for up to `budgetMs` (at least one);
    // answers the pixels that changed.
    QRegion renderPending(int budgetMs = kSliceBudgetMs);
    bool complete() const;
    // Renders every sign again, all at once.
    void rebuild();

    // The rendered signs, in device pixels.
    const QImage &image() const { return m_image; }

private:
    void ensureImage();
    // The board without its newest signs: every sign below `split`.
    struct Layer {
        QImage image; // null until the image is complete
        int split = 0;
        int lag = 0;
    };

    // Renders `device` (device pixels) of `image`: the pixels of `source`
    // (clear ones when null), then the signs from `from` below `limit`
    // whose ink meets one of `pieces` (twips), or that lie in the area
    // when `pieces` is empty.
    void renderDeviceArea(QImage &image, const QImage *source, const QRegion &device,
        const std::vector<QRect> &pieces, int from, int limit);
    // Starts the boards below the newest signs once the image holds every
    // sign; then keeps each its lag behind.
    void keepBelow();
    void forgetLayers();
    QRect toDevice(const QRect &pixels) const;
    QRect toPixels(const QRect &device) const;
    void forgetUnder();

    const SignModel &m_model;
    QImage m_image;
    QSize m_size;
    qreal m_ratio = 1.0;
    int m_drawn = 0; // the signs below this id are in the image
    // The deepest first; their splits never decrease along the array.
    Layer m_layers[2] = {{{}, 0, kDeepLag}, {{}, 0, kLag}};
    // The pixels under the newest painted sign, from before it was painted.
    QImage m_under;
    QRect m_underAt; // device pixels
    int m_underId = -1;
};

} // namespace WhiteBoard
