#include "controls/whiteboardole/playform.h"

#include "common/errorlog.h"
#include "controls/whiteboardole/olecore.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr int ControlBarHeight = 32;
}

extern "C" AULIX_WHITEBOARDOLEPLAYER_EXPORT PlayWindow *lumo_new_play_window(QWidget *parent)
{
    return new PlayForm(parent);
}

PlayForm::PlayForm(QWidget *parent)
    : PlayWindow(parent, Qt::Window)
    , m_player(new QMediaPlayer(this))
    , m_audio(new QAudioOutput(this))
    , m_video(new QVideoWidget(this))
    , m_controls(new QWidget(this))
    , m_playPause(new QPushButton(m_controls))
    , m_seek(new QSlider(Qt::Horizontal, m_controls))
{
    setWindowTitle(tr("播放"));
    m_video->setAccessibleName(tr("视频"));
    m_seek->setAccessibleName(tr("播放位置"));
    m_player->setAudioOutput(m_audio);
    m_player->setVideoOutput(m_video);

    auto *bar = new QHBoxLayout(m_controls);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->addWidget(m_playPause);
    bar->addWidget(m_seek, 1);
    m_playPause->setText(tr("播放"));
    m_controls->hide();

    connect(m_playPause, &QPushButton::clicked, this, [this] {
        if (m_player->playbackState() == QMediaPlayer::PlayingState)
            m_player->pause();
        else
            m_player->play();
    });
    connect(m_seek, &QSlider::sliderMoved, this,
        [this](int seconds) { m_player->setPosition(qint64(seconds) * 1000); });
    connect(m_player, &QMediaPlayer::durationChanged, this,
        [this](qint64 ms) { m_seek->setRange(0, int(ms / 1000)); });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        if (m_player->playbackState() == QMediaPlayer::PlayingState
            && m_player->mediaStatus() == QMediaPlayer::BufferedMedia)
            applyPendingSeek();
        if (!m_seek->isSliderDown())
            m_seek->setValue(int(ms / 1000));
    });

    connect(m_player, &QMediaPlayer::playbackStateChanged, this,
        [this](QMediaPlayer::PlaybackState state) {
            m_playPause->setText(state == QMediaPlayer::PlayingState ? tr("暂停") : tr("播放"));
            layoutPlayer();
            reportState();
        });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
        [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::BufferedMedia
                && m_player->playbackState() == QMediaPlayer::PlayingState)
                applyPendingSeek();
            reportState();
        });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
        [this](QMediaPlayer::Error, const QString &text) {
            Global::WriteErrorLog(u"WhiteBoardOLE"_s, u"PlayForm"_s,
                text + u": "_s + m_player->source().toString(), __LINE__);
            // A file that cannot be played has ended as far as the host is concerned.
            Q_EMIT playStateChanged(Ole::PlayStateName(0), 0);
        });

    resize(320, 240);
}

PlayForm::~PlayForm() = default;

void PlayForm::prepare(bool teacher, const QString &filePath)
{
    setWindowTitle(teacher ? tr("播放 - %1").arg(Ole::FileNamePart(filePath)) : tr("播放"));
    m_controls->setVisible(teacher);
    layoutPlayer();
}

void PlayForm::setSource(const QUrl &url)
{
    m_pendingSeekMs = -1;
    m_player->setSource(url);
}

void PlayForm::playFrom(qint32 seconds)
{
    // The seek waits until the player is running (its first position
    // report): a pipeline that is still starting drops it silently.
    m_pendingSeekMs = seconds > 0 ? qint64(seconds) * 1000 : -1;
    m_seekAttempts = 0;
    m_player->play();
    reportState();
}

void PlayForm::stop()
{
    m_pendingSeekMs = -1;
    m_player->stop();
    reportState();
}

void PlayForm::pause()
{
    m_player->pause();
    reportState();
}

void PlayForm::applyPendingSeek()
{
    if (m_pendingSeekMs < 0)
        return;
    // Landed (or the file is shorter): done. A pipeline that is still
    // starting may drop a seek without a word, so it is repeated a few times
    // until the position shows it took.
    if (m_player->position() >= m_pendingSeekMs - 2000 || m_seekAttempts >= 5) {
        m_pendingSeekMs = -1;
        return;
    }
    ++m_seekAttempts;
    m_player->setPosition(m_pendingSeekMs);
}

void PlayForm::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // The player goes silent first: a hidden window (a student's sound) would
    // otherwise keep playing until the object is deleted.
    m_player->blockSignals(true);
    m_player->stop();
    Q_EMIT playStateChanged(Ole::PlayStateName(0), 0);
    hide();
    deleteLater();
}

void PlayForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    shutDown();
}

void PlayForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!isMinimized())
        layoutPlayer();
}

void PlayForm::layoutPlayer()
{
    const int bar = m_controls->isVisibleTo(this) ? ControlBarHeight : 0;
    m_video->setGeometry(0, 0, width(), std::max(0, height() - bar));
    m_controls->setGeometry(0, std::max(0, height() - bar), width(), bar);
}

QWidget *PlayForm::videoArea() const
{
    return m_video;
}

QImage PlayForm::videoFrame() const
{
    QVideoSink *sink = m_player->videoSink();
    if (!sink)
        sink = m_video->videoSink();
    return sink ? sink->videoFrame().toImage() : QImage();
}

int PlayForm::PlayStateNumber(QMediaPlayer::PlaybackState state, QMediaPlayer::MediaStatus status)
{
    switch (status) {
    case QMediaPlayer::EndOfMedia:
    case QMediaPlayer::InvalidMedia: return 0;
    case QMediaPlayer::NoMedia: return 8;
    case QMediaPlayer::LoadingMedia:
    case QMediaPlayer::StalledMedia:
        if (state == QMediaPlayer::PlayingState)
            return 3;
        break;
    default: break;
    }
    switch (state) {
    case QMediaPlayer::StoppedState: return 0;
    case QMediaPlayer::PausedState: return 1;
    case QMediaPlayer::PlayingState: return 2;
    }
    return 0;
}

void PlayForm::reportState()
{
    if (m_shutDown)
        return;
    const int number = PlayStateNumber(m_player->playbackState(), m_player->mediaStatus());
    qint32 seconds = 0;
    if (number == 1 || number == 2)
        seconds = qint32(std::llround(double(m_player->position()) / 1000.0));
    Q_EMIT playStateChanged(Ole::PlayStateName(number), seconds);
}
