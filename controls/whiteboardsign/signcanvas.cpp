#include "controls/whiteboardsign/signcanvas.h"

#include "controls/whiteboardsign/signgeometry.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/signpainter.h"

#include <QPainter>
#include <QRegion>

namespace WhiteBoard {

SignCanvas::SignCanvas(const SignModel &model)
    : m_model(model)
{ }

void SignCanvas::setSize(const QSize &pixels)
{
    m_size = pixels;
}

void SignCanvas::renderArea(QPainter &painter, const QRect &pixels) const
{
    painter.save();
    painter.setClipRect(pixels);
    for (const int id : m_model.signsIn(PixelsToTwips(pixels)))
        PaintSign(painter, m_model.sign(id));
    painter.restore();
}

void SignCanvas::ensureSize()
{
    if (!m_valid || m_image.size() == m_size)
        return;
    m_underId = -1;
    if (m_size.isEmpty()) {
        m_image = QImage();
        m_valid = false;
        return;
    }
    QImage next(m_size, QImage::Format_ARGB32_Premultiplied);
    next.fill(Qt::transparent);
    QPainter painter(&next);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, m_image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const QRect &fresh : QRegion(next.rect()).subtracted(m_image.rect()))
        renderArea(painter, fresh);
    painter.end();
    m_image = std::move(next);
}

void SignCanvas::signAdded(int id)
{
    if (!m_valid)
        return; // the next paint renders every sign
    ensureSize();
    const Sign &sign = m_model.sign(id);
    const QRect pixels = TwipsToPixels(sign.bounds).intersected(m_image.rect());
    if (pixels.isEmpty())
        return;
    m_under = m_image.copy(pixels);
    m_underAt = pixels.topLeft();
    m_underId = id;
    QPainter painter(&m_image);
    PaintSign(painter, sign);
}

void SignCanvas::signRemoved(int id, const QRect &twips)
{
    if (!m_valid)
        return;
    ensureSize();
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // The kept pixels are right only while nothing was painted after the
    // sign: it must be the newest sign of all, and the last one painted.
    if (id == m_underId && id == m_model.size() - 1) {
        painter.drawImage(m_underAt, m_under);
        m_underId = -1;
        m_under = QImage();
        return;
    }
    // Other pixels change here, so the kept ones would no longer match.
    m_underId = -1;
    m_under = QImage();
    const QRect pixels = TwipsToPixels(twips).intersected(m_image.rect());
    if (pixels.isEmpty())
        return;
    painter.fillRect(pixels, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    renderArea(painter, pixels);
}

void SignCanvas::clear()
{
    m_underId = -1;
    m_under = QImage();
    if (m_valid)
        m_image.fill(Qt::transparent);
}

void SignCanvas::rebuild()
{
    m_underId = -1;
    m_under = QImage();
    if (m_size.isEmpty()) {
        m_image = QImage();
        m_valid = false;
        return;
    }
    if (m_image.size() != m_size)
        m_image = QImage(m_size, QImage::Format_ARGB32_Premultiplied);
    m_image.fill(Qt::transparent);
    m_valid = true;
    if (m_model.liveCount() == 0)
        return;
    QPainter painter(&m_image);
    renderArea(painter, m_image.rect());
}

void SignCanvas::paint(QPainter &painter, const QRect &pixels)
{
    if (!m_valid)
        rebuild();
    else
        ensureSize();
    if (!m_valid)
        return;
    const QRect area = pixels.intersected(m_image.rect());
    if (!area.isEmpty())
        painter.drawImage(area.topLeft(), m_image, area);
}

} // namespace WhiteBoard
