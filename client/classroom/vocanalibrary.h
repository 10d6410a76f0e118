#pragma once

#include "client/classroom/lumoclassroom_export.h"
#include "client/classroom/voiceengineapi.h"

#include <QLibrary>

namespace Classroom {

// The engine library, loaded at the first call: $LUMO_VOICE_ENGINE alone
// when set (a replacement engine), else "Vocana" beside the program, else
// "Vocana" on the library path. Once loading has failed, every call answers
// Vocana::EngineMissing; the failure is logged once.
class LUMOCLASSROOM_EXPORT VocanaLibrary : public VoiceEngineApi
{
    Q_OBJECT
public:
    explicit VocanaLibrary(QObject *parent = nullptr);
    ~VocanaLibrary() override;

    qint32 InitDLL() override;
    qint32 StartSpeak(const VocanaAddressRecord &record) override;
    qint32 StopSpeak() override;
    qint32 StartListen(const VocanaAddressRecord &record) override;
    qint32 StopListen() override;
    qint32 ReleaseDLL() override;
    bool DeviceDelay(qint32 *captureMs, qint32 *playbackMs) override;

    // The microphone clean-up the student chose in the options ("Options":
    // "EchoCancellation", "NoiseSuppression", "GainControl", on unless "0"),
    // handed to the engine at each InitDLL; an engine without the calls
    // keeps its own.
    static bool VoiceSwitch(const QString &key);

    // The file that was loaded, empty before the first call or on failure.
    QString loadedFrom() const;

private:
    bool ensureLoaded();
    void applySwitches();

    enum class State { NotTried, Loaded, Failed };
    State m_state = State::NotTried;
    // Never unloaded: the engine's threads and Qt objects may outlive a
    // careless host's last call, and unloading code under them would crash.
    QLibrary m_library;
    VocanaTextCall m_initDll = nullptr;
    VocanaRecordCall m_startSpeak = nullptr;
    VocanaTextCall m_stopSpeak = nullptr;
    VocanaRecordCall m_startListen = nullptr;
    VocanaNumberCall m_stopListen = nullptr;
    VocanaNumberCall m_releaseDll = nullptr;
    VocanaDeviceDelayCall m_deviceDelay = nullptr;
    VocanaNumberCall m_setEcho = nullptr;
    VocanaNumberCall m_setNoise = nullptr;
    VocanaNumberCall m_setGain = nullptr;
};

} // namespace Classroom
