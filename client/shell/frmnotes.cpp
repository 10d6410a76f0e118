#include "client/shell/frmnotes.h"

#include "controls/notesmanage/notesmanage.h"
#include "protocol/clsremotesync.h"

#include <QCloseEvent>

FrmNotes::FrmNotes(clsRemoteSync &remote, std::function<bool()> isClosing, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_remote(remote)
    , m_isClosing(std::move(isClosing))
{
    setObjectName(QStringLiteral("FrmNotes"));
    setWindowTitle(tr("发消息"));
    resize(360, 300);
    m_notes = new NotesManage(this);
    m_notes->setGeometry(rect());
    connect(m_notes, &NotesManage::SentNoteMessage, this,
        [this](qint32 FromID, qint32 ToID, const QString &Message) {
            AddNotes(FromID, ToID, Message);
            m_remote.SendNoteMessage(FromID, ToID, Message);
        });
}

void FrmNotes::AddNotes(qint32 FromID, qint32 ToID, const QString &Message)
{
    m_notes->AddNoteMessage(FromID, ToID, Message);
}

void FrmNotes::closeEvent(QCloseEvent *event)
{
    if (m_isClosing && m_isClosing()) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
}

void FrmNotes::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_notes->setGeometry(rect());
}
