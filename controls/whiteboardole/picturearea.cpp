#include "controls/whiteboardole/picturearea.h"

#include <QImageReader>
#include <QPainter>

PictureArea::PictureArea(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool PictureArea::loadFile(const QString &path, QString *error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // A courseware picture bigger than this is a broken or hostile file, not
    // a page: refuse it rather than allocate gigabytes.
    if (const QSize size = reader.size();
        size.isValid() && qint64(size.width()) * size.height() > 100'000'000) {
        if (error)
            *error = QStringLiteral("picture too large: ") + path;
        return false;
    }
    QImage loaded = reader.read();
    if (loaded.isNull()) {
        if (error)
            *error = reader.errorString() + QStringLiteral(": ") + path;
        return false;
    }
    m_image = std::move(loaded);
    update();
    return true;
}

void PictureArea::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (m_image.isNull())
        return;
    const QSize target = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect placed(
        QPoint((width() - target.width()) / 2, (height() - target.height()) / 2), target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(placed, m_image);
}
