#include "client/classroom/live/desktopports.h"

#include "client/classroom/frmvizerazav.h"

#include <QFontDialog>
#include <QLineEdit>

namespace ClassLive {

VizeRazavVoice::VizeRazavVoice(Classroom::frmVizeRazav &window)
    : m_window(&window)
{ }

void VizeRazavVoice::ListenAt(const QString &ip, quint16 listenPort, quint16 speakPort)
{
    if (!m_window)
        return;
    m_window->txtListenIP()->setText(ip);
    m_window->txtListenPort()->setText(QString::number(listenPort));
    m_window->ListenStart();
    m_window->txtSpeakIP()->setText(ip);
    m_window->txtSpeakPort()->setText(QString::number(speakPort));
}

void VizeRazavVoice::SpeakStop()
{
    if (m_window)
        m_window->SpeakStop();
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
