#include "controls/whiteboardsign/signgeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace WhiteBoard {

namespace {

// Room for the pen's half width and the antialiased fringe around it.
int InkMargin(qint16 lineWidth)
{
    return (PenWidthPixels(lineWidth) / 2 + 2) * kTwipsPerPixel;
}

int FloorDiv(int value, int divisor)
{
    const int quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

int CeilDiv(int value, int divisor)
{
    return -FloorDiv(-value, divisor);
}

// Signed distance from p to the outline of a rounded rectangle centred at
// the origin with half extents (hx, hy) and corner radius r.
double RoundedBoxDistance(double px, double py, double hx, double hy, double r)
{
    const double qx = std::abs(px) - (hx - r);
    const double qy = std::abs(py) - (hy - r);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    const double inside = std::min(std::max(qx, qy), 0.0);
    return outside + inside - r;
}

// Distance from p to an ellipse outline centred at the origin. The nearest
// point is found by a few steps along the ellipse's evolute, which stays
// accurate for very flat ellipses and points far away, where the usual
// implicit-function estimate is badly wrong.
double EllipseDistance(double px, double py, double a, double b)
{
    px = std::abs(px);
    py = std::abs(py);
    if (a < 1.0 || b < 1.0)
        return std::hypot(std::max(px - a, 0.0), std::max(py - b, 0.0));
    double tx = std::numbers::sqrt2 / 2;
    double ty = std::numbers::sqrt2 / 2;
    for (int i = 0; i < 4; ++i) {
        const double x = a * tx;
        const double y = b * ty;
        const double ex = (a * a - b * b) * tx * tx * tx / a;
        const double ey = (b * b - a * a) * ty * ty * ty / b;
        const double r = std::hypot(x - ex, y - ey);
        const double q = std::hypot(px - ex, py - ey);
        if (q < 1e-9)
            break;
        tx = std::clamp(((px - ex) * r / q + ex) / a, 0.0, 1.0);
        ty = std::clamp(((py - ey) * r / q + ey) / b, 0.0, 1.0);
        const double t = std::hypot(tx, ty);
        tx /= t;
        ty /= t;
    }
    return std::hypot(a * tx - px, b * ty - py);
}

double SegmentDistance(const QPoint &p, const QPoint &a, const QPoint &b)
{
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double length2 = dx * dx + dy * dy;
    double t = 0.0;
    if (length2 > 0.0)
        t = std::clamp(((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / length2, 0.0, 1.0);
    return std::hypot(p.x() - (a.x() + t * dx), p.y() - (a.y() + t * dy));
}

// Liang-Barsky: whether the segment a-b meets the rectangle r.
bool SegmentMeetsRect(QPointF a, QPointF b, const QRectF &r)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

// Whether the point lies inside the ellipse of half axes (a, b) centred at c.
bool InsideEllipse(QPointF p, QPointF c, double a, double b)
{
    if (a <= 0.0 || b <= 0.0)
        return false;
    const double x = (p.x() - c.x()) / a;
    const double y = (p.y() - c.y()) / b;
    return x * x + y * y < 1.0;
}

} // namespace

int PenWidthPixels(qint16 lineWidth)
{
    return lineWidth > 0 ? lineWidth : 1;
}

QRect FigureRect(ShapeType shape, const QRect &box)
{
    if (shape != stSquare && shape != stCircle && shape != stRoundedSquare)
        return box;
    const int side = std::min(box.width(), box.height());
    return {box.x() + (box.width() - side) / 2, box.y() + (box.height() - side) / 2, side, side};
}

double CornerRadius(const QRect &figure)
{
    return std::min(figure.width(), figure.height()) / 6.0;
}

QRect InkBounds(const Sign &sign)
{
    switch (ElementKindOf(sign.shape)) {
    case ElementKind::Shape: {
        const int m = InkMargin(sign.lineWidth);
        return FigureRect(sign.shape, sign.box).adjusted(-m, -m, m, m);
    }
    case ElementKind::Line: {
        const int m = InkMargin(sign.lineWidth);
        const QRect span(
            QPoint(std::min(sign.from.x(), sign.to.x()), std::min(sign.from.y(), sign.to.y())),
            QPoint(std::max(sign.from.x(), sign.to.x()), std::max(sign.from.y(), sign.to.y())));
        return span.adjusted(-m, -m, m, m);
    }
    case ElementKind::Label:
        return sign.box.adjusted(-kTwipsPerPixel, -kTwipsPerPixel, kTwipsPerPixel, kTwipsPerPixel);
    case ElementKind::Arrow:
    case ElementKind::None: break;
    }
    return {};
}

bool InkMeets(const Sign &sign, const QRect &twips)
{
    if (!sign.bounds.intersects(twips))
        return false;
    const int m = InkMargin(sign.lineWidth);
    const QRectF area(twips);
    switch (sign.shape) {
    case stRectangle:
    case stSquare:
    case stRoundedRectangle:
    case stRoundedSquare: {
        const QRect figure = FigureRect(sign.shape, sign.box);
        // Inside the stroke's inner edge there is no ink; with rounded
        // corners, the inside is a cross that keeps clear of the corners.
        const bool rounded = sign.shape == stRoundedRectangle || sign.shape == stRoundedSquare;
        const int r = rounded ? int(std::ceil(CornerRadius(figure))) : 0;
        const QRect across = figure.adjusted(m + r, m, -m - r, -m);
        const QRect down = figure.adjusted(m, m + r, -m, -m - r);
        return !(across.isValid() && across.contains(twips))
            && !(down.isValid() && down.contains(twips));
    }
    case stOval:
    case stCircle: {
        const QRectF figure(FigureRect(sign.shape, sign.box));
        const QPointF c = figure.center();
        const double a = figure.width() / 2.0;
        const double b = figure.height() / 2.0;
        // Wholly inside the inner edge: the four corners are (the inside
        // of an ellipse is convex).
        const double ia = a - m;
        const double ib = b - m;
        if (InsideEllipse(area.topLeft(), c, ia, ib) && InsideEllipse(area.topRight(), c, ia, ib)
            && InsideEllipse(area.bottomLeft(), c, ia, ib)
            && InsideEllipse(area.bottomRight(), c, ia, ib))
            return false;
        // Wholly outside the outer edge: scaled so that the outer edge is
        // the unit circle, the area's point nearest the centre is outside.
        const double oa = a + m;
        const double ob = b + m;
        const double nx = std::clamp(c.x(), area.left(), area.right());
        const double ny = std::clamp(c.y(), area.top(), area.bottom());
        const double x = (nx - c.x()) / oa;
        const double y = (ny - c.y()) / ob;
        return x * x + y * y <= 1.0;
    }
    case stLine:
        return SegmentMeetsRect(QPointF(sign.from), QPointF(sign.to), area.adjusted(-m, -m, m, m));
    case stText: return true;
    case stArrow: break;
    }
    return false;
}

bool HitsSign(const Sign &sign, const QPoint &point, int tolerance)
{
    const double reach = PenWidthPixels(sign.lineWidth) * kTwipsPerPixel / 2.0 + tolerance;
    switch (sign.shape) {
    case stRectangle:
    case stSquare:
    case stRoundedRectangle:
    case stRoundedSquare: {
        const QRect figure = FigureRect(sign.shape, sign.box);
        const double hx = figure.width() / 2.0;
        const double hy = figure.height() / 2.0;
        const bool rounded = sign.shape == stRoundedRectangle || sign.shape == stRoundedSquare;
        const double d = RoundedBoxDistance(point.x() - (figure.x() + hx),
            point.y() - (figure.y() + hy), hx, hy, rounded ? CornerRadius(figure) : 0.0);
        return std::abs(d) <= reach;
    }
    case stOval:
    case stCircle: {
        const QRect figure = FigureRect(sign.shape, sign.box);
        const double a = figure.width() / 2.0;
        const double b = figure.height() / 2.0;
        return EllipseDistance(point.x() - (figure.x() + a), point.y() - (figure.y() + b), a, b)
            <= reach;
    }
    case stLine: return SegmentDistance(point, sign.from, sign.to) <= reach;
    case stText:
        return sign.box.adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(point);
    case stArrow: break;
    }
    return false;
}

QRect TwipsToPixels(const QRect &twips)
{
    if (twips.isEmpty())
        return {};
    const int left = FloorDiv(twips.x(), kTwipsPerPixel);
    const int top = FloorDiv(twips.y(), kTwipsPerPixel);
    const int right = CeilDiv(twips.x() + twips.width(), kTwipsPerPixel);
    const int bottom = CeilDiv(twips.y() + twips.height(), kTwipsPerPixel);
    return {left, top, right - left, bottom - top};
}

QRectF TwipsToPixelsF(const QRect &twips)
{
    return {twips.x() / double(kTwipsPerPixel), twips.y() / double(kTwipsPerPixel),
        twips.width() / double(kTwipsPerPixel), twips.height() / double(kTwipsPerPixel)};
}

QRect PixelsToTwips(const QRect &pixels)
{
    return {pixels.x() * kTwipsPerPixel, pixels.y() * kTwipsPerPixel,
        pixels.width() * kTwipsPerPixel, pixels.height() * kTwipsPerPixel};
}

} // namespace WhiteBoard
