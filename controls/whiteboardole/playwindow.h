#pragma once

#include "controls/whiteboardole/aulix_whiteboardole_export.h"

#include <QImage>
#include <QWidget>

class QUrl;

// The playback window of a sound or video item, as the control drives it.
// The window itself (PlayForm) lives in a library of its own that the
// control loads with the first sound or video item: linking the media
// framework into the control would load it, and the sound server's client
// library with it, at every start of the client.
class AULIX_WHITEBOARDOLE_EXPORT PlayWindow : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;
    ~PlayWindow() override;

    // A teacher sees the file name in the caption and the operating controls.
    virtual void prepare(bool teacher, const QString &filePath) = 0;
    virtual void setSource(const QUrl &url) = 0;
    // Starts playing at `seconds` (0: from the beginning).
    virtual void playFrom(qint32 seconds) = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    // Stops the player, reports "Stopped" once and deletes the window later.
    virtual void shutDown() = 0;

    // The widget the video is shown in, and the picture it shows now (null
    // when there is none): what a capture of the board puts in its place.
    virtual QWidget *videoArea() const = 0;
    virtual QImage videoFrame() const = 0;

Q_SIGNALS:
    // The player's state by name ("Playing", "Stopped" ...) and, for
    // "Paused" and "Playing", the position in whole seconds.
    void playStateChanged(const QString &state, qint32 positionSeconds);
};

// The entry of the player library: a new playback window child of `parent`.
#define LUMO_PLAY_WINDOW_FACTORY "lumo_new_play_window"
using PlayWindowFactory = PlayWindow *(*)(QWidget *parent);
