#include "client/shell/frmnotes.h"

#include "controls/notesmanage/notesmanage.h"

#include <QCloseEvent>
#include <QLineEdit>

FrmNotes::FrmNotes(std::function<bool()> isClosing, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_isClosing(std::move(isClosing))
{
    setObjectName(QStringLiteral("FrmNotes"));
    setWindowTitle(tr("发消息"));
    resize(360, 300);
    m_notes = new NotesManage(this);
    m_notes->setGeometry(rect());
}

void FrmNotes::AddNotes(qint32 FromID, qint32 ToID, const QString &Message)
{
    m_notes->AddNoteMessage(FromID, ToID, Message);
}

void FrmNotes::open()
{
    showNormal();
    raise();
    activateWindow();
    if (auto *box = m_notes->findChild<QLineEdit *>(QStringLiteral("txtSend")))
        box->setFocus();
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
