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

Q_SIGNALS:
    // The engine's window messages (the level reports), on the UI thread.
    void WindowMessage(int hWnd, int message, int wParam, int lParam);
};

} // namespace Classroom
