#include "controls/notesmanage/notesmanage.h"

#include "common/desktop/fallbacks.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "controls/notesmanage/clsnoteuserlist.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace {

const QString LineEnd = u"\r\n"_s;
// The recipient list keeps this width; the send box takes the rest.
constexpr int RecipientListWidth = 120;

} // namespace

class NotesManagePrivate
{
public:
    explicit NotesManagePrivate(NotesManage *owner)
        : q(owner)
        , prompts(owner)
    { }

    Global::Prompter &prompter() { return prompts.get(); }
    QString nameOf(qint32 id) const { return id == myID ? u"你"_s : recipients.GetUserByID(id); }
    void appendToHistory(const QString &text);
    qint32 chosenRecipient() const
    {
        const int item = cmbList->currentIndex();
        // Item p of the list is position p of the store, so the choice is
        // exact even where two people share a nick.
        return item <= 0 ? 0 : recipients.GetUserID(item);
    }
    bool handleEnter();
    void sendCommand();
    void layOut();

    NotesManage *const q;
    clsNoteUserList recipients;
    QPlainTextEdit *txtNotes = nullptr;
    QComboBox *cmbList = nullptr;
    QLineEdit *txtSend = nullptr;
    QString history;
    qint32 myID = 0;
    qint32 minHeight = 2115;
    qint32 minWidth = 3630;
    bool sendEnabled = false;
    Global::PrompterSlot prompts;
};

void NotesManagePrivate::appendToHistory(const QString &text)
{
    history += text;
    if (history.trimmed().size() > NotesManage::HistoryLimit) {
        // Emptied, not cut to a window: the line that overflows goes too.
        history.clear();
        txtNotes->clear();
        return;
    }
    txtNotes->moveCursor(QTextCursor::End);
    QString shown = text;
    shown.replace(LineEnd, u"\n"_s).replace(u'\r', u'\n');
    txtNotes->insertPlainText(shown);
    txtNotes->ensureCursorVisible();
}

bool NotesManagePrivate::handleEnter()
{
    const QString text = txtSend->text();
    if (text.toLower() != u"/clear"_s && sendEnabled) {
        const QString trimmed = text.trimmed();
        if (trimmed.size() > NotesManage::NoteLimit) {
            Global::Prompt warning;
            warning.title = u"LumoClass--系统提示："_s;
            warning.text = u"短消息长度不应超过128个字符！"_s;
            warning.icon = Global::PromptIcon::Warning;
            prompter().show(warning);
            return false; // the text stays for the user to shorten
        }
        if (trimmed.isEmpty())
            return false;
        sendCommand();
    }
    txtSend->clear();
    return true;
}

void NotesManagePrivate::sendCommand()
{
    Q_EMIT q->SentNoteMessage(myID, chosenRecipient(), txtSend->text());
    txtSend->setFocus();
}

void NotesManagePrivate::layOut()
{
    // Each placement stands alone: one that cannot be made is logged and the
    // others are still made.
    const int listHeight = cmbList->sizeHint().height();
    const int listTop = q->height() - listHeight;
    if (listTop < 0)
        Global::WriteErrorLog(
            u"NotesManage"_s, u"UserControl_Resize"_s, u"Invalid property value"_s, __LINE__);
    else
        txtNotes->setGeometry(0, 0, q->width(), listTop);

    cmbList->setGeometry(0, listTop, RecipientListWidth, listHeight);

    const int sendWidth = q->width() - RecipientListWidth;
    if (sendWidth < 0)
        Global::WriteErrorLog(
            u"NotesManage"_s, u"UserControl_Resize"_s, u"Invalid property value"_s, __LINE__);
    else
        txtSend->setGeometry(RecipientListWidth, listTop, sendWidth, listHeight);
}

NotesManage::NotesManage(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<NotesManagePrivate>(this))
{
    d->txtNotes = new QPlainTextEdit(this);
    d->txtNotes->setObjectName(u"txtNotes"_s);
    // Plain text only: a note is never read as markup.
    d->txtNotes->setReadOnly(true);
    d->txtNotes->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    d->cmbList = new QComboBox(this);
    d->cmbList->setObjectName(u"cmbList"_s);
    d->cmbList->addItem(clsNoteUserList::EveryoneNick);
    d->cmbList->setCurrentIndex(0);
    d->txtSend = new QLineEdit(this);
    d->txtSend->setObjectName(u"txtSend"_s);
    d->txtSend->setReadOnly(true);
    d->txtSend->installEventFilter(this);
}

NotesManage::~NotesManage()
{
    // The send box dies after d in QObject's clean-up; its last events must
    // not reach a filter that reads d.
    d->txtSend->removeEventFilter(this);
}

void NotesManage::setPrompter(Global::Prompter *prompter)
{
    d->prompts.set(prompter);
}

qint32 NotesManage::MyID() const
{
    return d->myID;
}

void NotesManage::setMyID(qint32 value)
{
    d->myID = value;
}

qint32 NotesManage::MinHeight() const
{
    return d->minHeight;
}

void NotesManage::setMinHeight(qint32 value)
{
    d->minHeight = value;
}

qint32 NotesManage::MinWidth() const
{
    return d->minWidth;
}

void NotesManage::setMinWidth(qint32 value)
{
    d->minWidth = value;
}

bool NotesManage::SendEnabled() const
{
    return d->sendEnabled;
}

void NotesManage::setSendEnabled(bool value)
{
    d->sendEnabled = value;
    d->txtSend->setReadOnly(!value);
}

bool NotesManage::AddUser(qint32 UserID, const QString &UserNick)
{
    bool added = false;
    if (UserID != d->myID && d->recipients.AddUser(UserID, UserNick) > 0) {
        // Appending keeps the current choice: a private note being typed
        // must not turn into a note to everybody because someone arrived.
        d->cmbList->addItem(UserNick);
        added = true;
    }
    if (d->cmbList->currentIndex() < 0)
        d->cmbList->setCurrentIndex(0);
    return added;
}

bool NotesManage::RemoveUser(qint32 UserID)
{
    const qint32 position = d->recipients.RemoveUser(UserID);
    if (position > 0 && position < d->cmbList->count()) {
        // A note for someone who left goes to everybody, visibly, rather
        // than to whoever slides into the chosen place.
        if (d->cmbList->currentIndex() == position)
            d->cmbList->setCurrentIndex(0);
        d->cmbList->removeItem(position);
    }
    return position > 0;
}

bool NotesManage::RemoveAllUsers()
{
    if (!d->recipients.RemoveAllUsers())
        return false;
    d->cmbList->clear();
    d->cmbList->addItem(clsNoteUserList::EveryoneNick);
    d->cmbList->setCurrentIndex(0);
    return true;
}

bool NotesManage::ClearText()
{
    d->history.clear();
    d->txtNotes->clear();
    return false;
}

QString NotesManage::Export() const
{
    return d->history;
}

void NotesManage::AddMessage(const QString &strMessage)
{
    if (strMessage.trimmed().isEmpty())
        return;
    d->appendToHistory(strMessage);
}

void NotesManage::AddNoteMessage(qint32 FromID, qint32 ToID, const QString &strMessage)
{
    if (FromID < 0)
        return;
    QString line;
    if (FromID == 0)
        line = u"系统："_s + strMessage;
    else if (ToID != 0 && ToID != FromID)
        line = d->nameOf(FromID) + u"对"_s + d->nameOf(ToID) + u"说："_s + strMessage;
    else
        line = d->nameOf(FromID) + u"说："_s + strMessage;
    AddMessage(line + LineEnd);
}

QString NotesManage::SelectedUserNick() const
{
    const int item = d->cmbList->currentIndex();
    return item <= 0 ? QString() : d->recipients.GetUserNick(item);
}

qint32 NotesManage::SelectedUserID() const
{
    return d->chosenRecipient();
}

bool NotesManage::SelectUser(const QVariant &UserID)
{
    const qint32 position = d->recipients.FindUserByID(UserID.toInt());
    if (position > 0 && position < d->cmbList->count())
        d->cmbList->setCurrentIndex(position);
    return true;
}

bool NotesManage::SetSendText(const QString &strMessage)
{
    if (strMessage.isEmpty())
        return false;
    d->txtSend->setText(strMessage);
    d->txtSend->setFocus();
    return true;
}

void NotesManage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->layOut();
}

bool NotesManage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == d->txtSend && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return d->handleEnter();
    }
    return QWidget::eventFilter(watched, event);
}
