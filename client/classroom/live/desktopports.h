#pragma once

#include "client/classroom/live/classports.h"

#include <QPointer>

class QWidget;

namespace Classroom {
class frmVizeRazav;
}

namespace ClassLive {

// The voice window's fields and calls, as class entry and the switches use
// them.
class VizeRazavVoice : public ClassVoice
{
public:
    explicit VizeRazavVoice(Classroom::frmVizeRazav &window);
    void ListenAt(const QString &ip, quint16 listenPort, quint16 speakPort) override;
    void SpeakStop() override;

private:
    QPointer<Classroom::frmVizeRazav> m_window;
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
