#include "client/classroom/live/boardcapture.h"

#include "controls/whiteboardole/playform.h"
#include "controls/whiteboardole/whiteboardole.h"

#include <QMediaPlayer>
#include <QPainter>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

namespace ClassLive {

QPixmap CaptureBoard(WhiteBoardOLE &ole)
{
    QPixmap picture = ole.grab();
    if (picture.isNull())
        return picture;
    PlayForm *form = ole.playForm();
    if (!form || !form->isVisible() || !form->videoWidget() || !form->videoWidget()->isVisible())
        return picture;
    QVideoSink *sink = form->player() ? form->player()->videoSink() : nullptr;
    if (!sink)
        sink = form->videoWidget()->videoSink();
    const QImage frame = sink ? sink->videoFrame().toImage() : QImage();
    if (frame.isNull())
        return picture;
    QWidget *video = form->videoWidget();
    const QRect target(ole.mapFromGlobal(video->mapToGlobal(QPoint(0, 0))), video->size());
    if (!target.intersects(picture.rect()))
        return picture;
    QPainter painter(&picture);
    const QImage scaled
        = frame.scaled(target.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter.fillRect(target, Qt::black);
    painter.drawImage(target.topLeft()
            + QPoint(
                (target.width() - scaled.width()) / 2, (target.height() - scaled.height()) / 2),
        scaled);
    return picture;
}

} // namespace ClassLive
