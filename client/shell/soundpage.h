#pragma once

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class SoundDevices;

// The options' "声音" page: which microphone and which speaker, a live level
// of the microphone, and a loopback test to hear oneself as late as the class
// would. A choice takes effect at once, so the test and a running class use
// it; OK keeps it, Cancel goes back to what was kept.
class SoundPage : public QWidget
{
    Q_OBJECT
public:
    SoundPage(SoundDevices &devices, QWidget *parent = nullptr);

    QComboBox *cboInput() const { return m_cboInput; }
    QComboBox *cboOutput() const { return m_cboOutput; }
    QProgressBar *barLevel() const { return m_barLevel; }
    QPushButton *cmdLoopback() const { return m_cmdLoopback; }
    QLabel *lblState() const { return m_lblState; }
    // The microphone clean-up: echo cancellation, noise suppression, gain.
    QCheckBox *chkEcho() const { return m_chkEcho; }
    QCheckBox *chkNoise() const { return m_chkNoise; }
    QCheckBox *chkGain() const { return m_chkGain; }

    // The dialog closed: saved keeps the choice, else it is undone.
    void finish(bool saved);

    // The kept choice, applied at start.
    static bool HasSaved();
    static void ApplySaved(SoundDevices &devices);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void fill();
    void loadSwitches();
    void choose();

    // The devices may go first when the window closes.
    QPointer<SoundDevices> m_devices;
    QComboBox *m_cboInput = nullptr;
    QComboBox *m_cboOutput = nullptr;
    QProgressBar *m_barLevel = nullptr;
    QPushButton *m_cmdLoopback = nullptr;
    QLabel *m_lblState = nullptr;
    QCheckBox *m_chkEcho = nullptr;
    QCheckBox *m_chkNoise = nullptr;
    QCheckBox *m_chkGain = nullptr;
    bool m_filling = false;
};
