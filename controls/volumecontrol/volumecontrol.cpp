#include "controls/volumecontrol/volumecontrol.h"

#include "common/desktop/drawnicon.h"
#include "common/errorlog.h"
#include "controls/volumecontrol/soundserver.h"
#include "controls/volumecontrol/volumecore.h"
#include "controls/volumecontrol/volumemixer.h"

#include <QEvent>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <array>

using namespace Qt::StringLiterals;

namespace {

const QString ModuleName = u"VolumeControl"_s;
constexpr int VKControl = 17;

// The two pictures of the microphone button: idle, and speaking. Drawn at
// the screen's pixel ratio in the palette's ink; disabled, the microphone
// is struck through, so a refused button never looks like an idle one.
void DrawMicrophone(QPainter &painter, const QRectF &box, bool speaking, const DrawnIcon::Ink &ink)
{
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / 32.0, box.height() / 32.0);
    const bool disabled = ink.mode == QIcon::Disabled;
    QColor body = speaking ? QColor(0xd0, 0x30, 0x30) : ink.text;
    if (disabled)
        body = ink.text; // the palette's disabled text: faint on any ground
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(11, 3, 10, 17), 5, 5);
    painter.setPen(QPen(body, 2));
    painter.setBrush(Qt::NoBrush);
    QPainterPath cup;
    cup.moveTo(7, 13);
    cup.cubicTo(7, 25, 25, 25, 25, 13);
    painter.drawPath(cup);
    painter.drawLine(QPointF(16, 23), QPointF(16, 28));
    painter.drawLine(QPointF(11, 29), QPointF(21, 29));
    if (speaking && !disabled) {
        painter.setPen(QPen(body, 1.5));
        painter.drawArc(QRectF(1, 5, 6, 12), 100 * 16, 160 * 16);
        painter.drawArc(QRectF(25, 5, 6, 12), -80 * 16, 160 * 16);
    }
    if (disabled) {
        // A slash edged in the ground's colour, readable over the body.
        painter.setPen(QPen(ink.base, 5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(5, 3), QPointF(27, 29));
        painter.setPen(QPen(QColor(0xc0, 0x30, 0x30), 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(5, 3), QPointF(27, 29));
    }
    painter.restore();
}

QIcon MicrophonePicture(bool speaking)
{
    return DrawnIcon::make(
        [speaking](QPainter &painter, const QRectF &box, const DrawnIcon::Ink &ink) {
            DrawMicrophone(painter, box, speaking, ink);
        });
}

} // namespace

VolumeMixer::~VolumeMixer() = default;

class VolumeControlPrivate
{
public:
    explicit VolumeControlPrivate(VolumeControl *owner)
        : q(owner)
    { }

    void build();
    // Null: remote use only, nothing to report.
    void attachMixer(std::unique_ptr<VolumeMixer> m);
    void startServerMixer();

    QSlider *slider(VolumeMixer::Line line) const
    {
        return line == VolumeMixer::Speaker ? speakerSlider : micSlider;
    }
    qint32 &step(VolumeMixer::Line line) { return steps[line]; }

    void onMixerReady();
    void onMixerUnavailable(const QString &reason);
    void onMixerChanged();
    void onSliderValue(VolumeMixer::Line line, int position);
    void placeSlider(VolumeMixer::Line line, int position);
    void setLevel(VolumeMixer::Line line, qint16 level);
    void updateSliderEnabled();
    // The button's tooltip and spoken description follow its state, and
    // say why it is refused.
    void describeButton()
    {
        QString text;
        if (!button->isEnabled())
            text = VolumeControl::tr("话筒不可用：老师还没有允许你发言");
        else if (picture == 2)
            text = VolumeControl::tr("话筒：正在发言");
        else
            text = VolumeControl::tr("话筒：按下向老师请求发言");
        button->setToolTip(text);
        button->setAccessibleDescription(text);
    }
    int sliderLevel(VolumeMixer::Line line) const { return slider(line)->value(); }

    VolumeControl *const q;
    std::unique_ptr<VolumeMixer> mixer;
    QToolButton *button = nullptr;
    QSlider *speakerSlider = nullptr;
    QSlider *micSlider = nullptr;
    // ImageListButton: picture 1 idle, picture 2 speaking.
    std::array<QIcon, 2> ImageListButton;
    int picture = 1;

    std::array<qint32, 2> steps{1, 1};
    // The levels last asked for in remote mode, shown again on return to it.
    std::array<int, 2> remoteLevels{0, 0};
    qint16 vKeyCode = 0;
    bool autoSize = false;
    bool remote = false;
    bool enabled = true;
    bool mixerKnown = false;
    bool mixerAvailable = false;
    bool failureLogged = false;
    bool hooked = false;
    // The session's server is asked for after the control's first paint.
    bool serverMixerDue = false;
    QPointer<QWidget> hookHost;
    // Set while the control itself moves a slider, so that the move is not
    // taken for the user's.
    bool placing = false;
};

void VolumeControlPrivate::placeSlider(VolumeMixer::Line line, int level)
{
    QSlider *s = slider(line);
    const bool wasPlacing = placing;
    placing = true;
    s->setValue(Volume::ClampLevel(level));
    placing = wasPlacing;
}

void VolumeControlPrivate::updateSliderEnabled()
{
    for (const auto line : {VolumeMixer::Speaker, VolumeMixer::Microphone}) {
        const bool hasMixer = mixerAvailable && mixer->hasLine(line);
        QSlider *s = slider(line);
        s->setEnabled(enabled && (remote || hasMixer));
        // A refused slider says why.
        QString tip = s->accessibleName();
        if (mixerKnown && !remote && !hasMixer)
            tip = VolumeControl::tr("%1：没有找到这台电脑的音频设备").arg(tip);
        s->setToolTip(tip);
    }
}

void VolumeControlPrivate::onMixerReady()
{
    mixerKnown = true;
    mixerAvailable = true;
    for (const auto line : {VolumeMixer::Speaker, VolumeMixer::Microphone})
        steps[line] = mixer->hasLine(line) ? Volume::VolumeStep(mixer->maximum(line)) : 1;
    if (remote) {
        placeSlider(VolumeMixer::Speaker, remoteLevels[VolumeMixer::Speaker]);
        placeSlider(VolumeMixer::Microphone, remoteLevels[VolumeMixer::Microphone]);
    } else {
        q->Change();
    }
    updateSliderEnabled();
}

void VolumeControlPrivate::onMixerUnavailable(const QString &reason)
{
    mixerKnown = true;
    mixerAvailable = false;
    steps = {1, 1};
    // One entry however often it is asked: a machine without a sound server
    // must not fill the log.
    if (!failureLogged) {
        failureLogged = true;
        Global::WriteErrorLog(ModuleName, u"GetControlIDs初始化错误！"_s, reason, __LINE__);
    }
    updateSliderEnabled();
}

void VolumeControlPrivate::onMixerChanged()
{
    if (!mixerAvailable)
        return;
    // The line set may have changed with the default device.
    for (const auto line : {VolumeMixer::Speaker, VolumeMixer::Microphone})
        steps[line] = mixer->hasLine(line) ? Volume::VolumeStep(mixer->maximum(line)) : 1;
    updateSliderEnabled();
    if (hooked)
        q->Change();
}

void VolumeControlPrivate::onSliderValue(VolumeMixer::Line line, int level)
{
    if (placing)
        return;
    if (remote) {
        remoteLevels[line] = level;
        return;
    }
    if (mixerAvailable && mixer->hasLine(line))
        mixer->setVolume(
            line, Volume::MixerValueForLevel(level, steps[line], mixer->maximum(line)));
}

void VolumeControlPrivate::setLevel(VolumeMixer::Line line, qint16 requested)
{
    const int level = Volume::ClampLevel(requested);
    placeSlider(line, level);
    if (remote) {
        // A remote control stands for somebody else's machine: its levels are
        // reported, never written to this computer's mixer.
        remoteLevels[line] = level;
        return;
    }
    if (mixerAvailable && mixer->hasLine(line))
        mixer->setVolume(
            line, Volume::MixerValueForLevel(level, steps[line], mixer->maximum(line)));
}

VolumeControl::VolumeControl(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<VolumeControlPrivate>(this))
{
    d->build();
    d->serverMixerDue = true;
}

VolumeControl::VolumeControl(std::unique_ptr<VolumeMixer> mixer, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<VolumeControlPrivate>(this))
{
    d->build();
    d->attachMixer(std::move(mixer));
}

void VolumeControlPrivate::build()
{
    ImageListButton = {MicrophonePicture(false), MicrophonePicture(true)};
    button = new QToolButton(q);
    button->setObjectName(u"cmdSpeaker"_s);
    button->setIconSize(QSize(32, 32));
    button->setIcon(ImageListButton[0]);
    button->setAutoRaise(true);
    button->setAccessibleName(VolumeControl::tr("话筒"));
    button->setFocusPolicy(Qt::StrongFocus);

    auto makeSlider = [this](const QString &name, const QString &tip) {
        // Lying down: the control is a short strip beside the notes, and a
        // standing slider in it had no room left for its track. The value
        // is the level, loudest at the right.
        auto *s = new QSlider(Qt::Horizontal, q);
        s->setObjectName(name);
        s->setRange(0, Volume::MaxLevel);
        s->setPageStep(1);
        s->setTickPosition(QSlider::TicksBelow);
        s->setMinimumWidth(60);
        s->setToolTip(tip);
        s->installEventFilter(q);
        s->setEnabled(false);
        return s;
    };
    speakerSlider = makeSlider(u"Ctr_Speaker"_s, VolumeControl::tr("扬声器音量"));
    micSlider = makeSlider(u"Ctr_Recorder"_s, VolumeControl::tr("话筒音量"));
    speakerSlider->setAccessibleName(VolumeControl::tr("扬声器音量"));
    micSlider->setAccessibleName(VolumeControl::tr("话筒音量"));
    auto makeLabel = [this](const QString &name, const QString &text, QSlider *buddy) {
        auto *label = new QLabel(text, q);
        label->setObjectName(name);
        label->setBuddy(buddy);
        label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        return label;
    };
    QLabel *speakerLabel = makeLabel(u"lblSpeaker"_s, VolumeControl::tr("扬声器"), speakerSlider);
    QLabel *micLabel = makeLabel(u"lblRecorder"_s, VolumeControl::tr("话筒"), micSlider);

    auto *layout = new QGridLayout(q);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setHorizontalSpacing(4);
    layout->setVerticalSpacing(0);
    layout->addWidget(button, 0, 0, 2, 1, Qt::AlignCenter);
    layout->addWidget(speakerLabel, 0, 1);
    layout->addWidget(speakerSlider, 0, 2);
    layout->addWidget(micLabel, 1, 1);
    layout->addWidget(micSlider, 1, 2);
    layout->setColumnStretch(2, 1);
    QWidget::setTabOrder(button, speakerSlider);
    QWidget::setTabOrder(speakerSlider, micSlider);
    q->setAccessibleName(VolumeControl::tr("音量"));
    describeButton();

    QObject::connect(button, &QToolButton::pressed, q, [this] {
        vKeyCode = VKControl;
        Q_EMIT q->OnMicStart();
    });
    QObject::connect(speakerSlider, &QSlider::valueChanged, q,
        [this](int position) { onSliderValue(VolumeMixer::Speaker, position); });
    QObject::connect(micSlider, &QSlider::valueChanged, q,
        [this](int position) { onSliderValue(VolumeMixer::Microphone, position); });
}

void VolumeControlPrivate::attachMixer(std::unique_ptr<VolumeMixer> m)
{
    mixer = std::move(m);
    if (mixer) {
        QObject::connect(mixer.get(), &VolumeMixer::ready, q, [this] { onMixerReady(); });
        QObject::connect(mixer.get(), &VolumeMixer::unavailable, q,
            [this](const QString &reason) { onMixerUnavailable(reason); });
        QObject::connect(mixer.get(), &VolumeMixer::changed, q, [this] { onMixerChanged(); });
        if (mixer->isReady())
            onMixerReady();
    } else {
        // No mixer asked for (remote use only): nothing to report.
        mixerKnown = true;
        updateSliderEnabled();
    }
}

void VolumeControlPrivate::startServerMixer()
{
    const SoundServer::Library &library = SoundServer::Load();
    if (library.newMixer)
        attachMixer(std::unique_ptr<VolumeMixer>(library.newMixer()));
    else
        onMixerUnavailable(library.error);
}

void VolumeControl::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!d->serverMixerDue)
        return;
    d->serverMixerDue = false;
    // Once this paint is on the screen: the server's library and what it
    // pulls in take longer to load than the whole window takes to show.
    QTimer::singleShot(0, this, [this] { d->startServerMixer(); });
}

VolumeControl::~VolumeControl() = default;

void VolumeControl::Change()
{
    if (d->remote || !d->mixerAvailable)
        return;
    for (const auto line : {VolumeMixer::Speaker, VolumeMixer::Microphone}) {
        if (!d->mixer->hasLine(line))
            continue;
        // Leave a slider alone while the user holds it: our own writes come
        // back as change notices and would make it jump under the pointer.
        if (d->slider(line)->isSliderDown())
            continue;
        d->placeSlider(line, Volume::LevelForValue(d->mixer->volume(line), d->steps[line]));
    }
}

void VolumeControl::SetSpeakerVolume(qint16 TSpeaker)
{
    d->setLevel(VolumeMixer::Speaker, TSpeaker);
}

void VolumeControl::SetMicVolume(qint16 TMicrophone)
{
    d->setLevel(VolumeMixer::Microphone, TMicrophone);
}

void VolumeControl::StartUserHook(QWidget *host)
{
    d->hookHost = host;
    d->hooked = true;
    if (d->mixerAvailable)
        Change();
}

void VolumeControl::StopUserHook()
{
    d->hooked = false;
    d->hookHost = nullptr;
}

void VolumeControl::KeySpeak()
{
    d->picture = 2;
    d->button->setIcon(d->ImageListButton[1]);
    d->describeButton();
}

void VolumeControl::KeyStop()
{
    d->picture = 1;
    d->button->setIcon(d->ImageListButton[0]);
    d->describeButton();
}

qint32 VolumeControl::Speaker_Vol_Max() const
{
    return d->steps[VolumeMixer::Speaker];
}

qint32 VolumeControl::MicroPhone_Vol_Max() const
{
    return d->steps[VolumeMixer::Microphone];
}

qint16 VolumeControl::VKeyCode() const
{
    return d->vKeyCode;
}

bool VolumeControl::AutoSize() const
{
    return d->autoSize;
}

void VolumeControl::SetAutoSize(bool value)
{
    d->autoSize = value;
}

bool VolumeControl::Remote() const
{
    return d->remote;
}

void VolumeControl::SetRemote(bool value)
{
    if (d->remote == value)
        return;
    d->remote = value;
    if (d->remote) {
        d->placeSlider(VolumeMixer::Speaker, d->remoteLevels[VolumeMixer::Speaker]);
        d->placeSlider(VolumeMixer::Microphone, d->remoteLevels[VolumeMixer::Microphone]);
    } else {
        Change();
    }
    d->updateSliderEnabled();
}

bool VolumeControl::Enabled() const
{
    return d->enabled;
}

void VolumeControl::SetEnabled(bool value)
{
    d->enabled = value;
    d->updateSliderEnabled();
}

bool VolumeControl::CmdEnabled() const
{
    return d->button->isEnabled();
}

void VolumeControl::SetCmdEnabled(bool value)
{
    d->button->setEnabled(value);
    d->describeButton();
}

void VolumeControl::SetSpeakerVisible(bool value)
{
    d->button->setVisible(value);
}

void VolumeControl::ReadProperties(const QVariantMap &bag)
{
    const auto read = [&bag](const QString &key, bool &out) {
        const QVariant value = bag.value(key, false);
        if (value.canConvert<bool>()
            && (value.typeId() == QMetaType::Bool || value.typeId() == QMetaType::Int
                || value.typeId() == QMetaType::QString)) {
            const QString text = value.toString().trimmed().toLower();
            if (value.typeId() != QMetaType::QString || text == u"true"_s || text == u"false"_s
                || text == u"1"_s || text == u"0"_s || text == u"-1"_s) {
                out = value.toBool();
                return;
            }
        }
        Global::WriteErrorLog(ModuleName, u"UserControl_ReadProperties"_s,
            u"bad value of "_s + key + u": "_s + value.toString(), __LINE__);
    };
    bool autoSize = d->autoSize;
    bool remote = d->remote;
    bool enabled = d->enabled;
    read(u"AutoSize"_s, autoSize);
    read(u"Remote"_s, remote);
    read(u"Enabled"_s, enabled);
    SetAutoSize(autoSize);
    SetRemote(remote);
    SetEnabled(enabled);
}

QVariantMap VolumeControl::WriteProperties() const
{
    return {{u"AutoSize"_s, d->autoSize}, {u"Remote"_s, d->remote}, {u"Enabled"_s, d->enabled}};
}

bool VolumeControl::mixerKnown() const
{
    return d->mixerKnown;
}

bool VolumeControl::mixerAvailable() const
{
    return d->mixerAvailable;
}

bool VolumeControl::isHooked() const
{
    return d->hooked;
}

QAbstractButton *VolumeControl::cmdSpeaker() const
{
    return d->button;
}

QSlider *VolumeControl::Ctr_Speaker() const
{
    return d->speakerSlider;
}

QSlider *VolumeControl::Ctr_Recorder() const
{
    return d->micSlider;
}

int VolumeControl::buttonPicture() const
{
    return d->picture;
}

bool VolumeControl::eventFilter(QObject *watched, QEvent *event)
{
    // A click on a slider in remote mode reports both levels to the host.
    if (event->type() == QEvent::MouseButtonRelease && d->remote
        && (watched == d->speakerSlider || watched == d->micSlider)) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && static_cast<QWidget *>(watched)->isEnabled()) {
            // Queued behind the slider's own handling of the release, so the
            // levels include the click's move.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    Q_EMIT VolumeChanged(qint16(d->sliderLevel(VolumeMixer::Microphone)),
                        qint16(d->sliderLevel(VolumeMixer::Speaker)));
                },
                Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}
