#pragma once

#include "controls/volumecontrol/aulix_volumecontrol_export.h"

#include <QVariantMap>
#include <QWidget>

#include <memory>

class QAbstractButton;
class QSlider;
class VolumeMixer;

// The microphone button and the loudspeaker and microphone sliders (levels
// 0-10). In local mode the sliders drive the default output's and input's
// volume and, after StartUserHook, follow changes other programs make; in
// remote mode they only report the chosen levels through VolumeChanged.
class AULIX_VOLUMECONTROL_EXPORT VolumeControl : public QWidget
{
    Q_OBJECT

public:
    // On the PulseAudio server of the session, asked for once the control
    // has first been painted (until then the sliders wait, disabled, as
    // they do for the server's answer).
    explicit VolumeControl(QWidget *parent = nullptr);
    // On another mixer (tests), or on none at all (a teacher's list of
    // students, where every control is remote).
    explicit VolumeControl(std::unique_ptr<VolumeMixer> mixer, QWidget *parent = nullptr);
    ~VolumeControl() override;

    // Local mode: read both mixer volumes and move the sliders to match.
    void Change();
    void SetSpeakerVolume(qint16 TSpeaker);
    void SetMicVolume(qint16 TMicrophone);
    // Follow mixer changes made by other programs until StopUserHook. The
    // host window is kept only to mirror the original contract; it is not
    // touched.
    void StartUserHook(QWidget *host);
    void StopUserHook();
    void KeySpeak();
    void KeyStop();

    qint32 Speaker_Vol_Max() const;
    qint32 MicroPhone_Vol_Max() const;
    qint16 VKeyCode() const;
    bool AutoSize() const;
    void SetAutoSize(bool value);
    bool Remote() const;
    void SetRemote(bool value);
    // Enables or disables both sliders (a slider without a mixer line stays
    // disabled in local mode).
    bool Enabled() const;
    void SetEnabled(bool value);
    bool CmdEnabled() const;
    void SetCmdEnabled(bool value);
    void SetSpeakerVisible(bool value);

    // The persisted properties "AutoSize", "Remote" and "Enabled" (defaults
    // False). A value of the wrong kind is logged and skipped.
    void ReadProperties(const QVariantMap &bag);
    QVariantMap WriteProperties() const;

    // True once the mixer answered (or is known to be missing).
    bool mixerKnown() const;
    bool mixerAvailable() const;
    bool isHooked() const;

    QAbstractButton *cmdSpeaker() const;
    QSlider *Ctr_Speaker() const;
    QSlider *Ctr_Recorder() const;
    // Which of the two button pictures shows: 1 idle, 2 speaking.
    int buttonPicture() const;

Q_SIGNALS:
    // Remote mode only, raised for a teacher's host (its list of students);
    // the student client's control is local: its sliders drive the mixer.
    void VolumeChanged(qint16 MicVol, qint16 SpkVol);
    void OnMicStart();
    // Part of the control's interface; the control itself never raises it.
    void OnMicStop();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<class VolumeControlPrivate> const d;
};
