#include "controls/whiteboardsign/signgrid.h"

#include "controls/whiteboardsign/signgeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace WhiteBoard {

namespace {

constexpr int kFirstTwip = -32768;

void AppendArc(std::vector<QPointF> &points, QPointF centre, double rx, double ry, double from,
    double to, int steps)
{
    for (int i = 0; i <= steps; ++i) {
        const double angle = from + (to - from) * i / steps;
        points.emplace_back(centre.x() + rx * std::cos(angle), centre.y() + ry * std::sin(angle));
    }
}

} // namespace

SignGrid::SignGrid()
    : m_cells(std::size_t(kCellsPerSide) * kCellsPerSide)
{ }

int SignGrid::CellColumn(int coordinate)
{
    return std::clamp((coordinate - kFirstTwip) / kCellTwips, 0, kCellsPerSide - 1);
}

void SignGrid::clear()
{
    for (auto &cell : m_cells)
        cell.clear();
}

const std::vector<int> &SignGrid::cellAt(const QPoint &point) const
{
    return m_cells[std::size_t(CellColumn(point.y()) * kCellsPerSide + CellColumn(point.x()))];
}

void SignGrid::addArea(int id, const QRectF &area)
{
    const auto toCoordinate
        = [](double v) { return int(std::clamp(std::floor(v), -1.0e6, 1.0e6)); };
    const int left = CellColumn(toCoordinate(area.left()));
    const int right = CellColumn(toCoordinate(area.right()));
    const int top = CellColumn(toCoordinate(area.top()));
    const int bottom = CellColumn(toCoordinate(area.bottom()));
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            auto &cell = m_cells[std::size_t(row * kCellsPerSide + column)];
            // One sign is entered piece by piece; its own last entry marks
            // a cell it already holds.
            if (cell.empty() || cell.back() != id)
                cell.push_back(id);
        }
    }
}

void SignGrid::addPolyline(int id, const std::vector<QPointF> &points, double margin)
{
    // Each piece is at most half a cell long, so the box around a piece
    // (grown by the margin) covers its stroke with a few cells.
    const double step = kCellTwips / 2.0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QPointF a = points[i - 1];
        const QPointF b = points[i];
        const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        const int pieces = std::max(1, int(std::ceil(length / step)));
        QPointF previous = a;
        for (int piece = 1; piece <= pieces; ++piece) {
            const QPointF next = a + (b - a) * (double(piece) / pieces);
            const QRectF box = QRectF(previous, next).normalized();
            addArea(id, box.adjusted(-margin, -margin, margin, margin));
            previous = next;
        }
    }
}

void SignGrid::insert(int id, const Sign &sign)
{
    const double margin = PenWidthPixels(sign.lineWidth) * kTwipsPerPixel / 2.0 + 2 * kTwipsPerPixel
        + kMaxTolerance;
    switch (ElementKindOf(sign.shape)) {
    case ElementKind::Shape:
        // Chords of at most a quarter cell cut inside the curves they
        // follow by a few twips; a little more margin covers them.
        addPolyline(id, OutlinePolyline(sign), margin + kCellTwips / 16.0);
        break;
    case ElementKind::Line: addPolyline(id, {QPointF(sign.from), QPointF(sign.to)}, margin); break;
    case ElementKind::Label:
        addArea(id, QRectF(sign.box).adjusted(-margin, -margin, margin, margin));
        break;
    case ElementKind::Arrow:
    case ElementKind::None: break;
    }
}

std::vector<QRect> InkPieces(const Sign &sign)
{
    std::vector<QRect> pieces;
    const auto along = [&](const std::vector<QPointF> &points, double margin) {
        const double step = SignGrid::kCellTwips / 2.0;
        for (std::size_t i = 1; i < points.size(); ++i) {
            const QPointF a = points[i - 1];
            const QPointF b = points[i];
            const int count
                = std::max(1, int(std::ceil(std::hypot(b.x() - a.x(), b.y() - a.y()) / step)));
            QPointF previous = a;
            for (int piece = 1; piece <= count; ++piece) {
                const QPointF next = a + (b - a) * (double(piece) / count);
                const QRectF box = QRectF(previous, next)
                                       .normalized()
                                       .adjusted(-margin, -margin, margin, margin);
                pieces.push_back(box.toAlignedRect().intersected(sign.bounds));
                previous = next;
            }
        }
    };
    const double margin = (PenWidthPixels(sign.lineWidth) / 2 + 2) * kTwipsPerPixel;
    switch (ElementKindOf(sign.shape)) {
    case ElementKind::Shape:
        // Chords cut inside the curves they follow by a few twips.
        along(OutlinePolyline(sign), margin + SignGrid::kCellTwips / 16.0);
        break;
    case ElementKind::Line: along({QPointF(sign.from), QPointF(sign.to)}, margin); break;
    case ElementKind::Label: pieces.push_back(sign.bounds); break;
    case ElementKind::Arrow:
    case ElementKind::None: break;
    }
    std::erase_if(pieces, [](const QRect &piece) { return piece.isEmpty(); });
    return pieces;
}

std::vector<QPointF> OutlinePolyline(const Sign &sign)
{
    const QRectF figure(FigureRect(sign.shape, sign.box));
    std::vector<QPointF> points;
    switch (sign.shape) {
    case stRectangle:
    case stSquare:
        points = {figure.topLeft(), figure.topRight(), figure.bottomRight(), figure.bottomLeft(),
            figure.topLeft()};
        break;
    case stRoundedRectangle:
    case stRoundedSquare: {
        const double r = CornerRadius(FigureRect(sign.shape, sign.box));
        constexpr double pi = std::numbers::pi;
        const int steps = std::clamp(int(r * pi / 2 / (SignGrid::kCellTwips / 4.0)), 4, 64);
        AppendArc(points, {figure.right() - r, figure.top() + r}, r, r, -pi / 2, 0, steps);
        AppendArc(points, {figure.right() - r, figure.bottom() - r}, r, r, 0, pi / 2, steps);
        AppendArc(points, {figure.left() + r, figure.bottom() - r}, r, r, pi / 2, pi, steps);
        AppendArc(points, {figure.left() + r, figure.top() + r}, r, r, pi, 1.5 * pi, steps);
        points.push_back(points.front());
        break;
    }
    case stOval:
    case stCircle: {
        const double a = figure.width() / 2.0;
        const double b = figure.height() / 2.0;
        const double perimeter = std::numbers::pi * (a + b);
        const int steps = std::clamp(int(perimeter / (SignGrid::kCellTwips / 4.0)), 16, 512);
        AppendArc(points, figure.center(), a, b, 0, 2 * std::numbers::pi, steps);
        break;
    }
    default: break;
    }
    return points;
}

} // namespace WhiteBoard
