#pragma once

#include "client/classroom/lumoclassroom_export.h"
#include "voice/api/vocanaapi.h"

#include <QObject>

namespace Classroom {

// The six engine calls as the voice window makes them. The real one loads
// the engine library; tests put a recording one in its place.
class LUMOCLASSROOM_EXPORT VoiceEngineApi : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~VoiceEngineApi() override;

    virtual qint32 InitDLL() = 0;
    virtual qint32 StartSpeak(const VocanaAddressRecord &record) = 0;
    virtual qint32 StopSpeak() = 0;
    virtual qint32 StartListen(const VocanaAddressRecord &record) = 0;
    virtual qint32 StopListen() = 0;
    virtual qint32 ReleaseDLL() = 0;

    // The sound server's own figures for the running channels' device
    // delay; false when the engine has none to give (not loaded, not on the
    // sound server, or an engine without the call).
    virtual bool DeviceDelay(qint32 *captureMs, qint32 *playbackMs)
    {
        Q_UNUSED(captureMs);
        Q_UNUSED(playbackMs);
        return false;
    }

Q_SIGNALS:
    // The engine's window messages (the level reports), on the UI thread.
    void WindowMessage(int hWnd, int message, int wParam, int lParam);
};

} // namespace Classroom
