#pragma once

#include "controls/whiteboardsign/sign.h"
#include "controls/whiteboardsign/whiteboardsignmodel_export.h"

#include <QPointF>

#include <vector>

namespace WhiteBoard {

// A uniform grid over the whole 16-bit twips plane. Each cell lists, in
// drawing order, the signs whose ink (plus the largest hit tolerance) may
// reach into it. Outline shapes and lines are entered along their stroke
// only, so a board-sized rectangle costs its border cells, not its area.
// Entries of removed signs stay until clear(); readers check Sign::alive.
class WHITEBOARDSIGNMODEL_EXPORT SignGrid
{
public:
    static constexpr int kCellTwips = 512; // about 34 pixels
    static constexpr int kCellsPerSide = 65536 / kCellTwips;
    static constexpr int kMaxTolerance = 4 * kTwipsPerPixel;

    SignGrid();

    void clear();
    // Ids must arrive in increasing order (drawing order).
    void insert(int id, const Sign &sign);

    const std::vector<int> &cellAt(const QPoint &point) const;

    // Calls f(const std::vector<int> &) for each cell overlapping `area`.
    template <typename F> void forEachCellIn(const QRect &area, F &&f) const
    {
        const int left = CellColumn(area.left());
        const int right = CellColumn(area.right());
        const int top = CellColumn(area.top());
        const int bottom = CellColumn(area.bottom());
        for (int row = top; row <= bottom; ++row)
            for (int column = left; column <= right; ++column)
                f(m_cells[std::size_t(row * kCellsPerSide + column)]);
    }

    static int CellColumn(int coordinate);

private:
    void addArea(int id, const QRectF &area);
    void addPolyline(int id, const std::vector<QPointF> &points, double margin);

    std::vector<std::vector<int>> m_cells;
};

// Small twips rectangles that together cover everything painting the sign
// may touch: short pieces along the stroke of an outline shape or a line,
// the box of a label. Removing a sign repaints only these.
WHITEBOARDSIGNMODEL_EXPORT std::vector<QRect> InkPieces(const Sign &sign);

// The stroke of an outline shape as a closed polyline (first point
// repeated at the end), in twips. Exposed for the tests.
WHITEBOARDSIGNMODEL_EXPORT std::vector<QPointF> OutlinePolyline(const Sign &sign);

} // namespace WhiteBoard
