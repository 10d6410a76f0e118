#pragma once

#include "client/classroom/lumoclassroom_export.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace Global {
class Prompter;
class PrompterSlot;
} // namespace Global

namespace Classroom {

class VoiceEngineApi;

// The hidden voice window: it wraps the engine's speak and listen calls and
// keeps one log line per call. The classroom sets the four address fields
// and then calls SpeakStart/SpeakStop/ListenStart/ListenStop. Never shown
// in class; shown, it is a small test panel for the engine.
//
// Creating it loads the engine (InitDLL) and starts and stops speaking once
// with the default fields; destroying it stops both directions and releases
// the engine.
class LUMOCLASSROOM_EXPORT frmVizeRazav : public QWidget
{
    Q_OBJECT
public:
    // The engine library loaded by name.
    explicit frmVizeRazav(QWidget *parent = nullptr);
    // Another engine (tests).
    explicit frmVizeRazav(std::unique_ptr<VoiceEngineApi> engine, QWidget *parent = nullptr);
    ~frmVizeRazav() override;

    // Not owned. With none: message boxes over the window.
    void setPrompter(Global::Prompter *prompter);
    // The main window's level bar; not owned. It shows the microphone level
    // (0..100) while speaking and 0 when speaking starts or stops.
    void setSoundBar(QProgressBar *soundBar);

    void SpeakStart();
    void SpeakStop();
    void ListenStart();
    void ListenStop();

    bool bStartSpeak() const { return m_bStartSpeak; }
    // The running channels' device delay from the sound server, if any.
    bool DeviceDelay(qint32 *captureMs, qint32 *playbackMs) const;
    bool bStartListen() const { return m_bStartListen; }

    QLineEdit *txtListenIP() const { return m_txtListenIP; }
    QLineEdit *txtListenPort() const { return m_txtListenPort; }
    QLineEdit *txtSpeakIP() const { return m_txtSpeakIP; }
    QLineEdit *txtSpeakPort() const { return m_txtSpeakPort; }
    QPushButton *btnListen() const { return m_btnListen; }
    QPushButton *btnSpeak() const { return m_btnSpeak; }
    QListWidget *ListLog() const { return m_listLog; }

    // The number that stands for this window in the engine's level reports.
    int levelTarget() const { return m_levelTarget; }

private:
    void buildUi();
    void setSoundBarValue(int value);
    void HookLevelMeter(bool on);
    void onEngineMessage(int hWnd, int message, int wParam, int lParam);
    void addLogLine(const QString &call, qint32 result);
    Global::Prompter *prompter();

    std::unique_ptr<VoiceEngineApi> m_engine;
    const std::unique_ptr<Global::PrompterSlot> m_prompts;
    QPointer<QProgressBar> m_soundBar;
    const int m_levelTarget;
    bool m_levelHooked = false;
    bool m_bStartListen = false;
    bool m_bStartSpeak = false;

    QLineEdit *m_txtListenIP = nullptr;
    QLineEdit *m_txtListenPort = nullptr;
    QLineEdit *m_txtSpeakIP = nullptr;
    QLineEdit *m_txtSpeakPort = nullptr;
    QPushButton *m_btnListen = nullptr;
    QPushButton *m_btnSpeak = nullptr;
    QListWidget *m_listLog = nullptr;
};

} // namespace Classroom
