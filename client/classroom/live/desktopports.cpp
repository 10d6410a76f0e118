#include "client/classroom/live/desktopports.h"

#include "client/classroom/frmvizerazav.h"

#include <QFontDialog>
#include <QLineEdit>

namespace ClassLive {

VizeRazavVoice::VizeRazavVoice(std::function<Classroom::frmVizeRazav *()> window)
    : m_window(std::move(window))
{ }

void VizeRazavVoice::ListenAt(const QString &ip, quint16 listenPort, quint16 speakPort)
{
    Classroom::frmVizeRazav *window = m_window ? m_window() : nullptr;
    if (!window)
        return;
    window->txtListenIP()->setText(ip);
    window->txtListenPort()->setText(QString::number(listenPort));
    window->ListenStart();
    window->txtSpeakIP()->setText(ip);
    window->txtSpeakPort()->setText(QString::number(speakPort));
}

void VizeRazavVoice::SpeakStop()
{
    if (Classroom::frmVizeRazav *window = m_window ? m_window() : nullptr)
        window->SpeakStop();
}

DialogFontChooser::DialogFontChooser(QWidget *parent)
    : m_parent(parent)
{ }

void DialogFontChooser::chooseFont(
    const QFont &initial, std::function<void(bool, const QFont &)> done)
{
    auto *dialog = new QFontDialog(initial, m_parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QFontDialog::finished, dialog,
        [dialog, done](int result) { done(result == QDialog::Accepted, dialog->selectedFont()); });
    dialog->open();
}

} // namespace ClassLive
