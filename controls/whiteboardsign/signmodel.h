#pragma once

#include "controls/whiteboardsign/sign.h"
#include "controls/whiteboardsign/signgrid.h"
#include "controls/whiteboardsign/whiteboardsignmodel_export.h"

#include <QSize>

#include <array>
#include <vector>

namespace WhiteBoard {

// What the layer's properties say about the next sign.
struct SignRequest {
    ShapeType shape = stRectangle;
    QPoint start;
    QPoint end;
    quint32 color = 0;
    qint16 lineWidth = 0;
    QString text;
    QString fontName;
    qint16 fontSize = 0;
    QSize labelSize; // twips; the painter measures the text
};

enum class AddOutcome {
    Added,
    ArrowPlaced,
    Degenerate, // an outline or line with no extent on one axis
    Full, // the kind already holds kMaxPerKind elements
    UnknownShape,
};

struct AddResult {
    AddOutcome outcome = AddOutcome::UnknownShape;
    int id = -1; // the new sign, when one was added
    QRect dirty; // twips to repaint
};

struct RemoveResult {
    int id = -1; // the removed sign; -1 for the arrow or when nothing changed
    QRect dirty; // twips to repaint; empty when nothing changed
};

// The signs of the board without any widget: the element lists with their
// 16-bit counters, the adding and removing rules, the one arrow picture and
// a spatial index for point look-ups and partial repaints.
class WHITEBOARDSIGNMODEL_EXPORT SignModel
{
public:
    // The element counters are 16-bit.
    static constexpr int kMaxPerKind = 32767;
    static constexpr int kDefaultTolerance = 4 * kTwipsPerPixel;

    SignModel();

    AddResult add(const SignRequest &request);
    // Removes the element at the counter of the kind that `shape` belongs
    // to; an element already gone leaves everything as it is. For the
    // arrow, hides the arrow picture.
    RemoveResult removeLast(ShapeType shape);
    void clear();

    int counter(ElementKind kind) const;
    // Element `index` (from 1) of a kind, or nullptr when it was never made
    // or is gone.
    const Sign *element(ElementKind kind, int index) const;

    // Every sign ever added since the last clear(), by id (drawing order).
    int size() const { return int(m_signs.size()); }
    const Sign &sign(int id) const { return m_signs[std::size_t(id)]; }
    int liveCount() const { return m_liveCount; }

    // Live signs whose ink passes within `tolerance` twips of `point`,
    // topmost first. The tolerance is capped at SignGrid::kMaxTolerance.
    std::vector<int> signsAt(const QPoint &point, int tolerance = kDefaultTolerance) const;
    // Live signs whose ink bounds meet `area`, in drawing order.
    std::vector<int> signsIn(const QRect &area) const;

    // The one arrow picture, centred on a point.
    void setArrowSize(const QSize &twips) { m_arrowSize = twips; }
    QSize arrowSize() const { return m_arrowSize; }
    QPoint arrowCentre() const { return m_arrowCentre; }
    bool arrowVisible() const { return m_arrowVisible; }
    QRect arrowRect() const;
    // Answers the area to repaint (old and new place).
    QRect placeArrow(const QPoint &centre, bool visible);

private:
    std::vector<Sign> m_signs;
    std::array<std::vector<int>, 3> m_elements; // shapes, lines, labels: index - 1 -> id
    int m_arrowCounter = 0;
    int m_liveCount = 0;
    SignGrid m_grid;
    QPoint m_arrowCentre;
    QSize m_arrowSize{48 * kTwipsPerPixel, 48 * kTwipsPerPixel};
    bool m_arrowVisible = false;
    // Marks for de-duplicating ids gathered from several cells.
    mutable std::vector<quint32> m_seen;
    mutable quint32 m_epoch = 0;
};

} // namespace WhiteBoard
