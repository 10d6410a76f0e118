#include "controls/whiteboardsign/signcanvas.h"

#include "controls/whiteboardsign/signgeometry.h"
#include "controls/whiteboardsign/signgrid.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/signpainter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace WhiteBoard {

namespace {

qint64 ThreadCpuNanos()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int TilesAcross(int length, int side)
{
    return (length + side - 1) / side;
}

} // namespace

SignCanvas::SignCanvas(const SignModel &model)
    : m_model(model)
{ }

void SignCanvas::setSize(const QSize &pixels)
{
    m_size = pixels;
}

void SignCanvas::setDevicePixelRatio(qreal ratio)
{
    if (!(ratio > 0))
        ratio = 1.0;
    if (qFuzzyCompare(ratio, m_ratio))
        return;
    m_ratio = ratio;
    m_image = QImage();
    m_ready.clear();
    m_pending = 0;
    forgetUnder();
}

QRect SignCanvas::toDevice(const QRect &pixels) const
{
    if (pixels.isEmpty())
        return {};
    const int left = int(std::floor(pixels.x() * m_ratio));
    const int top = int(std::floor(pixels.y() * m_ratio));
    const int right = int(std::ceil((pixels.x() + pixels.width()) * m_ratio));
    const int bottom = int(std::ceil((pixels.y() + pixels.height()) * m_ratio));
    return {left, top, right - left, bottom - top};
}

QRect SignCanvas::toPixels(const QRect &device) const
{
    if (device.isEmpty())
        return {};
    const int left = int(std::floor(device.x() / m_ratio));
    const int top = int(std::floor(device.y() / m_ratio));
    const int right = int(std::ceil((device.x() + device.width()) / m_ratio));
    const int bottom = int(std::ceil((device.y() + device.height()) / m_ratio));
    return {left, top, right - left, bottom - top};
}

int SignCanvas::columns() const
{
    return TilesAcross(m_image.width(), m_tileSide);
}

int SignCanvas::rows() const
{
    return TilesAcross(m_image.height(), m_tileSide);
}

QRect SignCanvas::tileRect(int tile) const
{
    const int column = tile % columns();
    const int row = tile / columns();
    return QRect(column * m_tileSide, row * m_tileSide, m_tileSide, m_tileSide)
        .intersected(m_image.rect());
}

void SignCanvas::forgetUnder()
{
    m_underId = -1;
    m_under = QImage();
}

void SignCanvas::ensureImage()
{
    if (m_size.isEmpty()) {
        m_image = QImage();
        m_ready.clear();
        m_pending = 0;
        forgetUnder();
        return;
    }
    const QSize device(
        int(std::ceil(m_size.width() * m_ratio)), int(std::ceil(m_size.height() * m_ratio)));
    if (m_image.size() == device)
        return;
    forgetUnder();
    if (m_image.isNull())
        m_tileSide = std::max(64, int(std::lround(128 * m_ratio)));

    // What is rendered stays; a tile is ready when it was and lies wholly
    // in the old image.
    QImage next(device, QImage::Format_ARGB32_Premultiplied);
    next.fill(Qt::transparent);
    const int oldColumns = TilesAcross(m_image.width(), m_tileSide);
    const int oldRows = TilesAcross(m_image.height(), m_tileSide);
    if (!m_image.isNull()) {
        QPainter painter(&next);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_image);
    }
    const QRect oldArea = m_image.rect();
    std::vector<bool> oldReady = std::move(m_ready);
    m_image = std::move(next);
    m_ready.assign(std::size_t(columns() * rows()), false);
    m_pending = 0;
    for (int tile = 0; tile < int(m_ready.size()); ++tile) {
        const int column = tile % columns();
        const int row = tile / columns();
        const bool was = column < oldColumns && row < oldRows
            && oldReady[std::size_t(row * oldColumns + column)];
        m_ready[std::size_t(tile)] = was && oldArea.contains(tileRect(tile));
        if (!m_ready[std::size_t(tile)])
            ++m_pending;
    }
}

void SignCanvas::renderDeviceArea(const QRegion &device, const std::vector<QRect> &pieces)
{
    if (device.isEmpty())
        return;
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect &part : device)
        painter.fillRect(part, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // The clip is in device pixels; the signs are painted in pixels.
    painter.setClipRegion(device);
    painter.scale(m_ratio, m_ratio);
    const QRect area = PixelsToTwips(toPixels(device.boundingRect()));
    for (const int id : m_model.signsIn(area)) {
        const Sign &sign = m_model.sign(id);
        const bool meets = pieces.empty()
            ? InkMeets(sign, area)
            : std::any_of(pieces.begin(), pieces.end(), [&](const QRect &piece) {
                  return sign.bounds.intersects(piece) && InkMeets(sign, piece);
              });
        if (meets)
            PaintSign(painter, sign);
    }
}

void SignCanvas::renderTile(int tile)
{
    const QRect device = tileRect(tile);
    renderDeviceArea(QRegion(device), {});
    m_ready[std::size_t(tile)] = true;
    --m_pending;
    // The kept pixels came from before this tile held the sign.
    if (m_underId >= 0 && m_underAt.intersects(device))
        forgetUnder();
}

void SignCanvas::signAdded(int id)
{
    if (m_image.isNull())
        return; // the tiles render every sign when first painted
    const Sign &sign = m_model.sign(id);
    const QRect device = toDevice(TwipsToPixels(sign.bounds)).intersected(m_image.rect());
    if (device.isEmpty())
        return;
    // Pixels of tiles not rendered yet are kept too: they are rendered
    // over before anything shows them.
    m_under = m_image.copy(device);
    m_underAt = device;
    m_underId = id;
    QPainter painter(&m_image);
    painter.scale(m_ratio, m_ratio);
    PaintSign(painter, sign);
}

void SignCanvas::signRemoved(int id, const QRect &twips)
{
    if (m_image.isNull())
        return;
    // The kept pixels are right only while nothing was painted after the
    // sign: it must be the newest sign of all, and the last one painted.
    if (id == m_underId && id == m_model.size() - 1) {
        QPainter painter(&m_image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(m_underAt.topLeft(), m_under);
        forgetUnder();
        return;
    }
    // Other pixels change here, so the kept ones would no longer match.
    forgetUnder();
    std::vector<QRect> pieces = InkPieces(m_model.sign(id));
    if (pieces.empty())
        pieces.push_back(twips);
    // Each piece grows to whole device pixels; the signs that meet the
    // grown pieces are the ones to paint again.
    QRegion device;
    for (QRect &piece : pieces) {
        const QRect grown = toDevice(TwipsToPixels(piece)).intersected(m_image.rect());
        device += grown;
        piece = PixelsToTwips(toPixels(grown));
    }
    std::erase_if(pieces, [](const QRect &piece) { return piece.isEmpty(); });
    renderDeviceArea(device, pieces);
}

void SignCanvas::clear()
{
    forgetUnder();
    if (m_image.isNull())
        return;
    m_image.fill(Qt::transparent);
    std::fill(m_ready.begin(), m_ready.end(), true);
    m_pending = 0;
}

void SignCanvas::rebuild()
{
    m_image = QImage();
    ensureImage();
    for (int tile = 0; tile < int(m_ready.size()); ++tile)
        renderTile(tile);
}

bool SignCanvas::complete() const
{
    return m_pending == 0;
}

QRegion SignCanvas::renderPending(int budgetMs)
{
    QRegion ready;
    if (m_image.isNull())
        return ready; // nothing was painted yet
    ensureImage();
    if (m_pending == 0)
        return ready;
    const qint64 deadline = ThreadCpuNanos() + qint64(budgetMs) * 1000000;
    for (int tile = 0; tile < int(m_ready.size()); ++tile) {
        if (m_ready[std::size_t(tile)])
            continue;
        renderTile(tile);
        ready += toPixels(tileRect(tile));
        if (m_pending == 0 || ThreadCpuNanos() >= deadline)
            break;
    }
    return ready;
}

bool SignCanvas::paint(QPainter &painter, const QRect &pixels, int budgetMs)
{
    ensureImage();
    if (m_image.isNull())
        return true;
    const QRect device = toDevice(pixels).intersected(m_image.rect());
    if (device.isEmpty())
        return true;
    const auto draw = [&](const QRect &part) {
        painter.drawImage(QRectF(part.x() / m_ratio, part.y() / m_ratio, part.width() / m_ratio,
                              part.height() / m_ratio),
            m_image, QRectF(part));
    };
    if (m_pending == 0) {
        draw(device);
        return true;
    }
    const qint64 deadline = ThreadCpuNanos() + qint64(budgetMs) * 1000000;
    bool whole = true;
    const int firstColumn = device.left() / m_tileSide;
    const int lastColumn = device.right() / m_tileSide;
    for (int row = device.top() / m_tileSide; row <= device.bottom() / m_tileSide; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const int tile = row * columns() + column;
            if (!m_ready[std::size_t(tile)]) {
                if (ThreadCpuNanos() >= deadline) {
                    whole = false;
                    continue;
                }
                renderTile(tile);
            }
            draw(tileRect(tile).intersected(device));
        }
    }
    return whole;
}

} // namespace WhiteBoard
