#pragma once

#include "client/classroom/live/classports.h"

#include <QPointer>

class QWidget;

namespace Classroom {
class frmVizeRazav;
}

namespace ClassLive {

// The voice window's fields and calls, as class entry and the switches use
// them. The window (and with it the voice engine) is asked for at the first
// call only.
class VizeRazavVoice : public ClassVoice
{
public:
    explicit VizeRazavVoice(std::function<Classroom::frmVizeRazav *()> window);
    void ListenAt(const QString &ip, quint16 listenPort, quint16 speakPort) override;
    void SpeakStop() override;

private:
    std::function<Classroom::frmVizeRazav *()> m_window;
};

// Until the voice relays are in place: never set up from a key answer, and
// set up locally without ports, so class entry goes on after its wait.
class NoVoiceRelays : public RelaySetup
{
public:
    using RelaySetup::RelaySetup;
    bool bUDPDistributed() const override { return false; }
    void SetupLocalRelays() override { }
    quint16 LocalListenPort() const override { return 0; }
    quint16 LocalSpeakPort() const override { return 0; }
};

// The courseware re-download given as a function (the campus road's).
class CallbackCoursewareFetch : public CoursewareFetch
{
public:
    using Function = std::function<void(const QString &, std::function<void(bool)>)>;
    explicit CallbackCoursewareFetch(Function function)
        : m_function(std::move(function))
    { }
    void fetch(const QString &path, std::function<void(bool)> done) override
    {
        if (m_function)
            m_function(path, std::move(done));
        else
            done(false);
    }

private:
    Function m_function;
};

// The platform's font dialog, window-modal over `parent`, answered through
// the callback (no nested event loop).
class DialogFontChooser : public FontChooser
{
public:
    explicit DialogFontChooser(QWidget *parent);
    void chooseFont(const QFont &initial, std::function<void(bool, const QFont &)> done) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace ClassLive
