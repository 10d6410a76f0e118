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
    forgetLayers();
    m_drawn = 0;
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

void SignCanvas::forgetLayers()
{
    for (Layer &layer : m_layers) {
        layer.image = QImage();
        layer.split = 0;
    }
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
        forgetLayers();
        m_drawn = 0;
        forgetUnder();
        return;
    }
    const QSize device(
        int(std::ceil(m_size.width() * m_ratio)), int(std::ceil(m_size.height() * m_ratio)));
    if (m_image.size() == device)
        return;
    forgetUnder();
    QImage next(device, QImage::Format_ARGB32_Premultiplied);
    next.fill(Qt::transparent);
    if (m_image.isNull()) {
        m_image = std::move(next);
        forgetLayers();
        m_drawn = 0; // the fill starts from the first sign
        return;
    }
    // What is rendered stays; the uncovered part gets the signs drawn so
    // far, the fill brings the others.
    {
        QPainter painter(&next);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_image);
    }
    const QRegion fresh = QRegion(next.rect()).subtracted(m_image.rect());
    m_image = std::move(next);
    forgetLayers();
    renderDeviceArea(m_image, nullptr, fresh, {}, 0, m_drawn);
    keepBelow();
}

void SignCanvas::keepBelow()
{
    if (m_image.isNull())
        return;
    for (Layer &layer : m_layers) {
        if (layer.image.isNull()) {
            if (!complete())
                return;
            // Shared with the image until either is painted.
            layer.image = m_image;
            layer.split = m_drawn;
            continue;
        }
        if (m_drawn - layer.split <= layer.lag)
            continue;
        QPainter painter(&layer.image);
        painter.scale(m_ratio, m_ratio);
        for (; layer.split < m_drawn - layer.lag; ++layer.split) {
            const Sign &sign = m_model.sign(layer.split);
            if (sign.alive)
                PaintSign(painter, sign);
        }
    }
}

void SignCanvas::renderDeviceArea(QImage &image, const QImage *source, const QRegion &device,
    const std::vector<QRect> &pieces, int from, int limit)
{
    if (device.isEmpty())
        return;
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Starting above the board below: its pixels, else clear ones.
    for (const QRect &part : device) {
        if (source)
            painter.drawImage(part.topLeft(), *source, part);
        else
            painter.fillRect(part, Qt::transparent);
    }
    if (limit <= from)
        return;
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // The clip is in device pixels; the signs are painted in pixels.
    painter.setClipRegion(device);
    painter.scale(m_ratio, m_ratio);
    const QRect area = PixelsToTwips(toPixels(device.boundingRect()));
    const auto paintIfMeets = [&](const Sign &sign) {
        const bool meets = pieces.empty()
            ? InkMeets(sign, area)
            : std::any_of(pieces.begin(), pieces.end(), [&](const QRect &piece) {
                  return sign.bounds.intersects(piece) && InkMeets(sign, piece);
              });
        if (meets)
            PaintSign(painter, sign);
    };
    // Above a board below, the few newer signs are tried one by one: the
    // index would gather the whole area's signs of every age first.
    if (limit - from <= 2 * kDeepLag) {
        for (int id = from; id < limit; ++id) {
            const Sign &sign = m_model.sign(id);
            if (sign.alive && sign.bounds.intersects(area))
                paintIfMeets(sign);
        }
        return;
    }
    for (const int id : m_model.signsIn(area)) {
        if (id < from)
            continue;
        if (id >= limit)
            break; // in drawing order
        paintIfMeets(m_model.sign(id));
    }
}

void SignCanvas::signAdded(int id)
{
    if (m_image.isNull() || id > m_drawn)
        return; // the fill draws it in its turn
    m_drawn = id + 1;
    const Sign &sign = m_model.sign(id);
    const QRect device = toDevice(TwipsToPixels(sign.bounds)).intersected(m_image.rect());
    if (device.isEmpty())
        return;
    m_under = m_image.copy(device);
    m_underAt = device;
    m_underId = id;
    {
        QPainter painter(&m_image);
        painter.scale(m_ratio, m_ratio);
        PaintSign(painter, sign);
    }
    keepBelow();
}

void SignCanvas::signRemoved(int id, const QRect &twips)
{
    if (m_image.isNull() || id >= m_drawn)
        return; // never drawn; the fill passes over it
    // The kept pixels are right only while nothing was painted after the
    // sign: it must be the newest sign of all, and the last one painted.
    if (id == m_underId && id == m_model.size() - 1 && id >= m_layers[1].split) {
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
    // The nearest board below the sign does not hold it and stays; each
    // one above, then the image, is mended from the one below it.
    const QImage *source = nullptr;
    int from = 0;
    for (Layer &layer : m_layers) {
        if (layer.image.isNull())
            break;
        if (layer.split <= id) {
            source = &layer.image;
            from = layer.split;
            continue;
        }
        renderDeviceArea(layer.image, source, device, pieces, from, layer.split);
        source = &layer.image;
        from = layer.split;
    }
    renderDeviceArea(m_image, source, device, pieces, from, m_drawn);
}

void SignCanvas::clear()
{
    forgetUnder();
    m_drawn = 0;
    forgetLayers();
    if (!m_image.isNull())
        m_image.fill(Qt::transparent);
}

void SignCanvas::rebuild()
{
    m_image = QImage();
    ensureImage();
    while (!complete())
        renderPending(1 << 20);
}

bool SignCanvas::complete() const
{
    return m_image.isNull() || m_drawn >= m_model.size();
}

QRegion SignCanvas::renderPending(int budgetMs)
{
    if (m_image.isNull())
        return {}; // nothing was painted yet
    ensureImage();
    if (complete())
        return {};
    const qint64 deadline = ThreadCpuNanos() + qint64(budgetMs) * 1000000;
    QRect changed;
    QPainter painter(&m_image);
    painter.scale(m_ratio, m_ratio);
    // The clock is read every few signs: one sign takes microseconds.
    constexpr int kBatch = 8;
    const int end = m_model.size();
    while (m_drawn < end) {
        const int stop = std::min(end, m_drawn + kBatch);
        for (; m_drawn < stop; ++m_drawn) {
            const Sign &sign = m_model.sign(m_drawn);
            if (!sign.alive)
                continue;
            PaintSign(painter, sign);
            changed |= TwipsToPixels(sign.bounds);
        }
        if (ThreadCpuNanos() >= deadline)
            break;
    }
    // The kept pixels came from before these signs were drawn.
    if (m_underId >= 0 && m_underAt.intersects(toDevice(changed)))
        forgetUnder();
    painter.end();
    keepBelow();
    return QRegion(changed.intersected(QRect(QPoint(), m_size)));
}

bool SignCanvas::paint(QPainter &painter, const QRect &pixels, int budgetMs)
{
    ensureImage();
    if (m_image.isNull())
        return true;
    if (budgetMs > 0)
        renderPending(budgetMs);
    const QRect device = toDevice(pixels).intersected(m_image.rect());
    if (!device.isEmpty())
        painter.drawImage(QRectF(device.x() / m_ratio, device.y() / m_ratio,
                              device.width() / m_ratio, device.height() / m_ratio),
            m_image, QRectF(device));
    return complete();
}

} // namespace WhiteBoard
