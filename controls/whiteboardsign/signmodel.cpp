#include "controls/whiteboardsign/signmodel.h"

#include "controls/whiteboardsign/signgeometry.h"

#include <algorithm>

namespace WhiteBoard {

SignModel::SignModel() = default;

AddResult SignModel::add(const SignRequest &request)
{
    AddResult result;
    const ElementKind kind = ElementKindOf(request.shape);
    if (kind == ElementKind::None)
        return result;

    if (kind == ElementKind::Arrow) {
        // Every arrow sign reuses the one picture, so there is nothing to
        // refuse: the counter only stops at its 16-bit ceiling.
        m_arrowCounter = std::min(m_arrowCounter + 1, kMaxPerKind);
        result.outcome = AddOutcome::ArrowPlaced;
        result.dirty = placeArrow(request.end, false);
        return result;
    }

    if (kind != ElementKind::Label
        && (request.start.x() == request.end.x() || request.start.y() == request.end.y())) {
        result.outcome = AddOutcome::Degenerate;
        return result;
    }

    auto &elements = m_elements[std::size_t(kind)];
    if (int(elements.size()) >= kMaxPerKind) {
        result.outcome = AddOutcome::Full;
        return result;
    }

    Sign sign;
    sign.shape = request.shape;
    sign.color = request.color;
    sign.lineWidth = request.lineWidth;
    switch (kind) {
    case ElementKind::Shape:
        sign.box = QRect(std::min(request.start.x(), request.end.x()),
            std::min(request.start.y(), request.end.y()),
            std::abs(request.end.x() - request.start.x()),
            std::abs(request.end.y() - request.start.y()));
        break;
    case ElementKind::Line:
        sign.from = request.start;
        sign.to = request.end;
        break;
    default:
        sign.box = QRect(request.end, request.labelSize);
        sign.text = request.text;
        sign.fontName = request.fontName;
        sign.fontSize = request.fontSize;
        break;
    }
    sign.bounds = InkBounds(sign);
    sign.index = int(elements.size()) + 1;

    const int id = int(m_signs.size());
    m_signs.push_back(std::move(sign));
    elements.push_back(id);
    m_grid.insert(id, m_signs.back());
    ++m_liveCount;

    result.outcome = AddOutcome::Added;
    result.id = id;
    result.dirty = m_signs.back().bounds;
    return result;
}

RemoveResult SignModel::removeLast(ShapeType shape)
{
    const ElementKind kind = ElementKindOf(shape);
    if (kind == ElementKind::Arrow)
        return {-1, m_arrowVisible ? placeArrow(m_arrowCentre, false) : QRect()};
    if (kind == ElementKind::None)
        return {};
    const auto &elements = m_elements[std::size_t(kind)];
    if (elements.empty())
        return {};
    Sign &sign = m_signs[std::size_t(elements.back())];
    if (!sign.alive)
        return {};
    sign.alive = false;
    sign.text.clear();
    --m_liveCount;
    return {elements.back(), sign.bounds};
}

void SignModel::clear()
{
    m_signs.clear();
    for (auto &elements : m_elements)
        elements.clear();
    m_arrowCounter = 0;
    m_liveCount = 0;
    m_grid.clear();
    m_seen.clear();
    m_arrowVisible = false;
}

int SignModel::counter(ElementKind kind) const
{
    switch (kind) {
    case ElementKind::Shape:
    case ElementKind::Line:
    case ElementKind::Label: return int(m_elements[std::size_t(kind)].size());
    case ElementKind::Arrow: return m_arrowCounter;
    case ElementKind::None: break;
    }
    return 0;
}

const Sign *SignModel::element(ElementKind kind, int index) const
{
    if (kind != ElementKind::Shape && kind != ElementKind::Line && kind != ElementKind::Label)
        return nullptr;
    const auto &elements = m_elements[std::size_t(kind)];
    if (index < 1 || index > int(elements.size()))
        return nullptr;
    const Sign &sign = m_signs[std::size_t(elements[std::size_t(index - 1)])];
    return sign.alive ? &sign : nullptr;
}

std::vector<int> SignModel::signsAt(const QPoint &point, int tolerance) const
{
    tolerance = std::clamp(tolerance, 0, SignGrid::kMaxTolerance);
    std::vector<int> found;
    const auto &cell = m_grid.cellAt(point);
    for (auto it = cell.rbegin(); it != cell.rend(); ++it) {
        const Sign &sign = m_signs[std::size_t(*it)];
        if (!sign.alive)
            continue;
        if (!sign.bounds.adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(point))
            continue;
        if (HitsSign(sign, point, tolerance))
            found.push_back(*it);
    }
    return found;
}

std::vector<int> SignModel::signsIn(const QRect &area) const
{
    std::vector<int> found;
    if (area.isEmpty() || m_signs.empty())
        return found;
    if (m_seen.size() < m_signs.size())
        m_seen.resize(m_signs.size(), 0);
    if (++m_epoch == 0) {
        std::fill(m_seen.begin(), m_seen.end(), 0);
        m_epoch = 1;
    }
    m_grid.forEachCellIn(area, [&](const std::vector<int> &cell) {
        for (const int id : cell) {
            if (m_seen[std::size_t(id)] == m_epoch)
                continue;
            m_seen[std::size_t(id)] = m_epoch;
            const Sign &sign = m_signs[std::size_t(id)];
            if (sign.alive && sign.bounds.intersects(area))
                found.push_back(id);
        }
    });
    std::sort(found.begin(), found.end());
    return found;
}

QRect SignModel::arrowRect() const
{
    return {m_arrowCentre.x() - m_arrowSize.width() / 2,
        m_arrowCentre.y() - m_arrowSize.height() / 2, m_arrowSize.width(), m_arrowSize.height()};
}

QRect SignModel::placeArrow(const QPoint &centre, bool visible)
{
    QRect dirty = m_arrowVisible ? arrowRect() : QRect();
    m_arrowCentre = centre;
    m_arrowVisible = visible;
    if (m_arrowVisible)
        dirty = dirty.united(arrowRect());
    return dirty;
}

} // namespace WhiteBoard
