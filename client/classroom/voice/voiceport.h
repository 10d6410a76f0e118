#pragma once

#include <QString>

#include <functional>

namespace Classroom {
class frmVizeRazav;
}

namespace ClassroomVoice {

// The voice window as the floor and the private talk drive it. The calls
// and their order are the window's own; tests pass a recorder.
class VoicePort
{
public:
    virtual ~VoicePort() = default;
    virtual bool bStartSpeak() const = 0;
    virtual void SpeakStart() = 0;
    virtual void SpeakStop() = 0;
    // Both directions at one peer: stop listening and speaking, set the
    // four fields, start listening, start speaking. The listen address is
    // the peer's (the engine then takes datagrams from the peer only) unless
    // the peer is on this machine, where it is the student's own.
    virtual void PointAt(const QString &listenIP, const QString &speakIP, const QString &port) = 0;
    // Stop both, set the four fields, start listening only.
    virtual void ListenOnly(const QString &listenIP, const QString &listenPort,
        const QString &speakIP, const QString &speakPort)
        = 0;
};

// Over the real voice window, asked for at the first call (creating it
// loads the engine).
class VizeRazavPort : public VoicePort
{
public:
    explicit VizeRazavPort(std::function<Classroom::frmVizeRazav *()> window);
    bool bStartSpeak() const override;
    void SpeakStart() override;
    void SpeakStop() override;
    void PointAt(const QString &listenIP, const QString &speakIP, const QString &port) override;
    void ListenOnly(const QString &listenIP, const QString &listenPort, const QString &speakIP,
        const QString &speakPort) override;

private:
    Classroom::frmVizeRazav *window() const;
    std::function<Classroom::frmVizeRazav *()> m_window;
};

} // namespace ClassroomVoice
