#pragma once

#include "controls/whiteboardole/aulix_whiteboardole_export.h"

#include <QMediaPlayer>
#include <QWidget>

class QAudioOutput;
class QVideoWidget;
class QPushButton;
class QSlider;

// The playback window of a sound or video item. It reports the player's state
// by name ("Playing", "Stopped" ...) and, for "Paused" and "Playing", the
// position in whole seconds; the end of the file and the closing of the window
// both report "Stopped".
class AULIX_WHITEBOARDOLE_EXPORT PlayForm : public QWidget
{
    Q_OBJECT

public:
    explicit PlayForm(QWidget *parent = nullptr);
    ~PlayForm() override;

    // A teacher sees the file name in the caption and the operating controls.
    void prepare(bool teacher, const QString &filePath);
    void setSource(const QUrl &url);
    // Starts playing at `seconds` (0: from the beginning). The position is
    // applied once the file is loaded, as a player ignores it before that.
    void playFrom(qint32 seconds);
    void stop();
    void pause();

    // Stops the player, reports "Stopped" once and deletes the window later.
    void shutDown();

    QMediaPlayer *player() const { return m_player; }
    QVideoWidget *videoWidget() const { return m_video; }
    QWidget *controlBar() const { return m_controls; }

    // 0-8 from the player's playback state and media status.
    static int PlayStateNumber(QMediaPlayer::PlaybackState state, QMediaPlayer::MediaStatus status);

Q_SIGNALS:
    void playStateChanged(const QString &state, qint32 positionSeconds);

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
