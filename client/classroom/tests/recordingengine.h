#pragma once

#include "client/classroom/voiceengineapi.h"

#include <QStringList>

// Stands in for the engine: keeps every call with its record and answers
// with a chosen result.
class RecordingEngine : public Classroom::VoiceEngineApi
{
    Q_OBJECT
public:
    explicit RecordingEngine(QStringList *calls)
        : m_calls(calls)
    { }

    qint32 result = 0;

    qint32 InitDLL() override { return record(QStringLiteral("InitDLL")); }
    qint32 StartSpeak(const VocanaAddressRecord &r) override
    {
        return record(QStringLiteral("StartSpeak %1 %2 %3 %4")
                          .arg(r.hWnd)
                          .arg(r.message)
                          .arg(r.address)
                          .arg(r.port));
    }
    qint32 StopSpeak() override { return record(QStringLiteral("StopSpeak")); }
    qint32 StartListen(const VocanaAddressRecord &r) override
    {
        return record(QStringLiteral("StartListen %1 %2 %3 %4")
                          .arg(r.hWnd)
                          .arg(r.message)
                          .arg(r.address)
                          .arg(r.port));
    }
    qint32 StopListen() override { return record(QStringLiteral("StopListen")); }
    qint32 ReleaseDLL() override { return record(QStringLiteral("ReleaseDLL")); }

    void sendLevel(int hWnd, int message, int level)
    {
        Q_EMIT WindowMessage(hWnd, message, 0, level);
    }

private:
    qint32 record(const QString &call)
    {
        m_calls->append(call);
        return result;
    }

    // Outlives the engine, so the calls made while the window is destroyed
    // can be checked.
    QStringList *m_calls;
};
