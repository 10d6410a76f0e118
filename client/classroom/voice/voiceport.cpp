#include "client/classroom/voice/voiceport.h"

#include "client/classroom/frmvizerazav.h"

#include <QLineEdit>

namespace ClassroomVoice {

VizeRazavPort::VizeRazavPort(std::function<Classroom::frmVizeRazav *()> window)
    : m_window(std::move(window))
{ }

Classroom::frmVizeRazav *VizeRazavPort::window() const
{
    return m_window ? m_window() : nullptr;
}

bool VizeRazavPort::bStartSpeak() const
{
    // No window yet means the engine was never started.
    Classroom::frmVizeRazav *w = window();
    return w && w->bStartSpeak();
}

void VizeRazavPort::SpeakStart()
{
    if (Classroom::frmVizeRazav *w = window())
        w->SpeakStart();
}

void VizeRazavPort::SpeakStop()
{
    if (Classroom::frmVizeRazav *w = window())
        w->SpeakStop();
}

void VizeRazavPort::PointAt(const QString &listenIP, const QString &speakIP, const QString &port)
{
    // The same steps as listening alone, then the microphone on.
    ListenOnly(listenIP, port, speakIP, port);
    if (Classroom::frmVizeRazav *w = window())
        w->SpeakStart();
}

void VizeRazavPort::ListenOnly(const QString &listenIP, const QString &listenPort,
    const QString &speakIP, const QString &speakPort)
{
    Classroom::frmVizeRazav *w = window();
    if (!w)
        return;
    w->ListenStop();
    w->SpeakStop();
    w->txtListenIP()->setText(listenIP);
    w->txtListenPort()->setText(listenPort);
    w->txtSpeakIP()->setText(speakIP);
    w->txtSpeakPort()->setText(speakPort);
    w->ListenStart();
}

} // namespace ClassroomVoice
