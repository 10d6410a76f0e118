#pragma once

#include "controls/whiteboardole/aulix_whiteboardole_export.h"
#include "controls/whiteboardole/olecore.h"

#include <QWidget>

#include <memory>

class PictureArea;
class PlayWindow;

// Shows one courseware item in the whiteboard area: a picture in the image
// area, a web page in a web view (its engine loaded on the first web item),
// a sound or video in the playback window. The host sets the properties
// (texts), then calls Play_OLE or Play_OLEAd; a bad property value is only
// recorded and makes every later method fail.
class AULIX_WHITEBOARDOLE_EXPORT WhiteBoardOLE : public QWidget
{
    Q_OBJECT

public:
    explicit WhiteBoardOLE(QWidget *parent = nullptr);
    ~WhiteBoardOLE() override;

    qint32 CurrPlayerPos() const;
    void setCurrPlayerPos(qint32 seconds);
    QString AreaStartPosX() const;
    void setAreaStartPosX(const QString &value);
    QString AreaStartPosY() const;
    void setAreaStartPosY(const QString &value);
    QString AreaEndPosX() const;
    void setAreaEndPosX(const QString &value);
    QString AreaEndPosY() const;
    void setAreaEndPosY(const QString &value);
    QString FileSource() const;
    void setFileSource(const QString &value);
    QString FileType() const;
    void setFileType(const QString &value);
    Ole::UserType UserType() const;
    void setUserType(Ole::UserType value);

    bool Play_OLE();
    // PlayVerb 0: play (from CurrPlayerPos when it is not 0), 1: stop,
    // 2: pause and close the playback window.
    bool Play_OLEAd(qint32 PlayVerb);
    bool Clear_OLE();

    // The number of the last bad property (0: none); it is never cleared.
    qint16 PropertyError() const;
    // The text of the last failure of a method.
    QString ErrorText() const;
    // The last playback state the poll timer saw.
    QString PlayState() const;

    void setPollInterval(int milliseconds);
    // How much larger than its design size the area is shown: a web page
    // is zoomed alike, so the signs drawn over it stay on its text.
    void setZoom(qreal zoom);

    PictureArea *pictureArea() const;
    // Null until the first web item has been shown.
    QWidget *webView() const;
    // Null while no sound or video item is shown.
    PlayWindow *playForm() const;
    // What the empty area says it will show.
    QString placeholderText() const;

Q_SIGNALS:
    // "Playing", "Paused" or "Stopped", once per change. Raised for a
    // teacher's host, whose player leads the class (it sends the position
    // on); the student client follows the teacher's play commands and
    // has nothing to do on it: the control closes its own playback window.
    void GetPlayState(const QString &strplaystate);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<class WhiteBoardOLEPrivate> const d;
};
