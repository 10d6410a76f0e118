#include "signcanvas.h"

#include "signgeometry.h"
#include "signmodel.h"
#include "signpainter.h"

#include <QPainter>

namespace WhiteBoard {

SignCanvas::SignCanvas(const SignModel &model)
    : m_model(model)
{ }

void SignCanvas::setSize(const QSize &pixels)
{
    if (pixels == m_size)
        return;
    m_size = pixels;
    m_valid = false;
}

void SignCanvas::signAdded(int id)
{
    if (!m_valid)
        return; // the next paint renders every sign
    const Sign &sign = m_model.sign(id);
    if (!TwipsToPixels(sign.bounds).intersects(m_image.rect()))
        return;
    QPainter painter(&m_image);
    PaintSign(painter, sign);
}

void SignCanvas::repaintArea(const QRect &twips)
{
    if (!m_valid)
        return;
    const QRect pixels = TwipsToPixels(twips).intersected(m_image.rect());
    if (pixels.isEmpty())
        return;
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(pixels, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipRect(pixels);
    for (const int id : m_model.signsIn(PixelsToTwips(pixels)))
        PaintSign(painter, m_model.sign(id));
}

void SignCanvas::clear()
{
    if (m_valid)
        m_image.fill(Qt::transparent);
}

void SignCanvas::rebuild()
{
    if (m_image.size() != m_size)
        m_image
            = QImage(m_size.isEmpty() ? QSize(1, 1) : m_size, QImage::Format_ARGB32_Premultiplied);
    m_image.fill(Qt::transparent);
    m_valid = true;
    if (m_size.isEmpty() || m_model.liveCount() == 0)
        return;
    QPainter painter(&m_image);
    for (const int id : m_model.signsIn(PixelsToTwips(m_image.rect())))
        PaintSign(painter, m_model.sign(id));
}

void SignCanvas::paint(QPainter &painter, const QRect &pixels)
{
    if (!m_valid)
        rebuild();
    const QRect area = pixels.intersected(m_image.rect());
    if (!area.isEmpty())
        painter.drawImage(area.topLeft(), m_image, area);
}

} // namespace WhiteBoard
