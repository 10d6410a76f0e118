#include "client/classroom/live/boardcapture.h"

#include "controls/whiteboardole/playwindow.h"
#include "controls/whiteboardole/whiteboardole.h"

#include <QPainter>

namespace ClassLive {

QPixmap CaptureBoard(WhiteBoardOLE &ole)
{
    QPixmap picture = ole.grab();
    if (picture.isNull())
        return picture;
    PlayWindow *form = ole.playForm();
    if (!form || !form->isVisible() || !form->videoArea() || !form->videoArea()->isVisible())
        return picture;
    const QImage frame = form->videoFrame();
    if (frame.isNull())
        return picture;
    QWidget *video = form->videoArea();
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
