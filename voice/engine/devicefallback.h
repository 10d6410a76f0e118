#pragma once

#include "common/errorlog.h"
#include "voice/api/vocanaapi.h"

#include <QByteArray>
#include <QString>

namespace Vocana {

// The one rule of both channels for a device chosen by name on the sound
// server: a device that cannot be opened, or that goes away while in use,
// leaves the channel on the server's default device, and the log says so.
// `Channel` gives m_pulse, m_deviceName and startPulse(device, &why).
struct DeviceFallback {
    QString part; // "Microphone", "Loudspeaker"
    QString stoppedText; // "capture stopped: "
    QString defaultDevice; // "the default microphone"

    template <typename Channel> void failed(Channel &channel, const QString &failure) const
    {
        Global::WriteErrorLog(QStringLiteral("Vocana"), part, stoppedText + failure, __LINE__);
        if (!channel.m_pulse || channel.m_deviceName.isEmpty())
            return;
        channel.m_pulse->stop();
        QString why;
        if (channel.startPulse({}, &why))
            Global::WriteErrorLog(QStringLiteral("Vocana"), part,
                QString::fromUtf8(channel.m_deviceName) + QStringLiteral(" gone, now on ")
                    + defaultDevice,
                __LINE__);
    }

    template <typename Channel> int use(Channel &channel, const QByteArray &device) const
    {
        channel.m_deviceName = device;
        if (!channel.m_pulse)
            return Ok; // taken at the next start
        channel.m_pulse->stop();
        QString why;
        if (channel.startPulse(device, &why))
            return Ok;
        Global::WriteErrorLog(QStringLiteral("Vocana"), part,
            QString::fromUtf8(device) + QStringLiteral(": ") + why + QStringLiteral("; ")
                + defaultDevice + QStringLiteral(" instead"),
            __LINE__);
        return channel.startPulse({}, &why) ? Ok : AudioUnavailable;
    }
};

} // namespace Vocana
