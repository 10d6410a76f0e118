#pragma once

#include "controls/whiteboardole/aulix_whiteboardoleplayer_export.h"
#include "controls/whiteboardole/playwindow.h"

#include <QMediaPlayer>

class QAudioOutput;
class QVideoWidget;
class QPushButton;
class QSlider;

// The playback window of a sound or video item. It reports the player's state
// by name ("Playing", "Stopped" ...) and, for "Paused" and "Playing", the
// position in whole seconds; the end of the file and the closing of the window
// both report "Stopped".
class AULIX_WHITEBOARDOLEPLAYER_EXPORT PlayForm : public PlayWindow
{
    Q_OBJECT

public:
    explicit PlayForm(QWidget *parent = nullptr);
    ~PlayForm() override;

    // A teacher sees the file name in the caption and the operating controls.
    void prepare(bool teacher, const QString &filePath) override;
    void setSource(const QUrl &url) override;
    // Starts playing at `seconds` (0: from the beginning). The position is
    // applied once the file is loaded, as a player ignores it before that.
    void playFrom(qint32 seconds) override;
    void stop() override;
    void pause() override;

    // Stops the player, reports "Stopped" once and deletes the window later.
    void shutDown() override;

    QWidget *videoArea() const override;
    QImage videoFrame() const override;

    QMediaPlayer *player() const { return m_player; }
    QVideoWidget *videoWidget() const { return m_video; }
    QWidget *controlBar() const { return m_controls; }

    // 0-8 from the player's playback state and media status.
    static int PlayStateNumber(QMediaPlayer::PlaybackState state, QMediaPlayer::MediaStatus status);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void reportState();
    void applyPendingSeek();
    void layoutPlayer();

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    QVideoWidget *m_video = nullptr;
    QWidget *m_controls = nullptr;
    QPushButton *m_playPause = nullptr;
    QSlider *m_seek = nullptr;
    qint64 m_pendingSeekMs = -1;
    int m_seekAttempts = 0;
    bool m_shutDown = false;
};
