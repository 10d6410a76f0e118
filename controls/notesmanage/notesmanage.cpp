#include "controls/notesmanage/notesmanage.h"

#include "common/desktop/fallbacks.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "controls/notesmanage/clsnoteuserlist.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>

using namespace Qt::StringLiterals;

namespace {

const QString LineEnd = u"\r\n"_s;
// The recipient list keeps this width; the send box takes the rest.
constexpr int RecipientListWidth = 120;
// About twenty characters of a note.
constexpr int MinimumSendWidth = 160;

// The everyone entry as the list shows it; the store keeps "所有人".
QString everyoneText()
{
    return NotesManage::tr("所有人");
}

} // namespace

class NotesManagePrivate
{
public:
    explicit NotesManagePrivate(NotesManage *owner)
        : q(owner)
        , prompts(owner)
    { }

    Global::Prompter &prompter() { return prompts.get(); }
    QString nameOf(qint32 id) const
    {
        const NotesManagePrivate &from = source();
        return id == from.myID ? NotesManage::tr("你") : from.recipients.GetUserByID(id);
    }
    void appendToHistory(const QString &text);
    void trimHistory();
    void dropFromView(qsizetype count);
    void updateView();
    void showSendState();
    qint32 chosenRecipient() const
    {
        const int item = cmbList->currentIndex();
        // Item p of the list is position p of the store, so the choice is
        // exact even where two people share a nick.
        return item <= 0 ? 0 : source().recipients.GetUserID(item);
    }
    // Where the recipients, the local user and the permission come from:
    // the leader this panel follows, else its own.
    const NotesManagePrivate &source() const { return leader ? *leader->d : *this; }
    bool handleEnter();
    void sendCommand();
    void layOut();

    NotesManage *const q;
    clsNoteUserList recipients;
    QPlainTextEdit *txtNotes = nullptr;
    QComboBox *cmbList = nullptr;
    QLineEdit *txtSend = nullptr;
    QPushButton *cmdSend = nullptr;
    QString history;
    // The view follows the history once per turn of the event loop: a flood
    // of notes costs one insertion and one trim per frame, not per note.
    QString viewPending; // shown text not yet in the view
    qsizetype viewTrim = 0; // characters to drop from the view's start
    qsizetype viewChars = 0; // characters in the view
    bool viewUpdateQueued = false;
    qint32 myID = 0;
    qint32 minHeight = 2115;
    qint32 minWidth = 3630;
    bool sendEnabled = false;
    QPointer<NotesManage> leader;
    QList<QPointer<NotesManage>> followers;
    Global::PrompterSlot prompts;
};

QString shownText(const QString &text)
{
    QString shown = text;
    return shown.replace(LineEnd, u"\n"_s).replace(u'\r', u'\n');
}

void NotesManagePrivate::appendToHistory(const QString &text)
{
    history += text;
    viewPending += shownText(text);
    trimHistory();
    if (!viewUpdateQueued) {
        viewUpdateQueued = true;
        QMetaObject::invokeMethod(
            q, [this] { updateView(); }, Qt::QueuedConnection);
    }
}

void NotesManagePrivate::trimHistory()
{
    if (history.trimmed().size() <= NotesManage::HistoryLimit)
        return;
    // The oldest whole lines go, so the newest notes always stay. Past the
    // trailing blanks, the kept text may hold HistoryLimit characters.
    qsizetype end = history.size();
    while (end > 0 && history.at(end - 1).isSpace())
        --end;
    const qsizetype keepFrom = end - NotesManage::HistoryLimit;
    qsizetype cut = history.indexOf(u'\n', keepFrom - 1);
    cut = cut < 0 ? end : cut + 1;
    if (cut >= end)
        cut = keepFrom; // the newest line alone is too long: keep its end
    dropFromView(shownText(history.left(cut)).size());
    history.remove(0, cut);
}

void NotesManagePrivate::dropFromView(qsizetype count)
{
    viewTrim += count;
    // What the view does not hold yet is dropped before it gets there.
    if (viewTrim > viewChars) {
        viewPending.remove(0, qMin(viewTrim - viewChars, viewPending.size()));
        viewTrim = viewChars;
    }
}

void NotesManagePrivate::updateView()
{
    viewUpdateQueued = false;
    if (viewTrim == 0 && viewPending.isEmpty())
        return;
    QScrollBar *bar = txtNotes->verticalScrollBar();
    // A reader scrolled up stays where he reads; one at the bottom follows.
    const bool following = bar->value() >= bar->maximum();
    const int value = bar->value();
    const int blocksBefore = txtNotes->document()->blockCount();
    if (viewTrim > 0) {
        QTextCursor start(txtNotes->document());
        start.movePosition(QTextCursor::Start);
        start.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, int(viewTrim));
        start.removeSelectedText();
        viewTrim = 0;
    }
    const int blocksRemoved = blocksBefore - txtNotes->document()->blockCount();
    if (!viewPending.isEmpty()) {
        QTextCursor end(txtNotes->document());
        end.movePosition(QTextCursor::End);
        end.insertText(viewPending);
        viewPending.clear();
    }
    viewChars = txtNotes->document()->characterCount() - 1;
    if (following) {
        txtNotes->moveCursor(QTextCursor::End);
        bar->setValue(bar->maximum());
    } else {
        // Keep the lines a reader is looking at in place.
        bar->setValue(qMax(0, value - blocksRemoved));
    }
}

void NotesManagePrivate::showSendState()
{
    // Locked, the box looks it and says why; the Enter path still empties
    // it, so the box takes no typing either way.
    const bool sendEnabled = source().sendEnabled;
    txtSend->setReadOnly(!sendEnabled);
    txtSend->setEnabled(sendEnabled);
    cmdSend->setEnabled(sendEnabled);
    txtSend->setPlaceholderText(
        sendEnabled ? NotesManage::tr("输入短消息，按回车发送") : NotesManage::tr("短消息已关闭"));
    txtSend->setToolTip(txtSend->placeholderText());
}

bool NotesManagePrivate::handleEnter()
{
    const QString text = txtSend->text();
    if (text.toLower() != u"/clear"_s && source().sendEnabled) {
        const QString trimmed = text.trimmed();
        if (trimmed.size() > NotesManage::NoteLimit) {
            Global::Prompt warning;
            warning.title = NotesManage::tr("LumoClass--系统提示：");
            warning.text = NotesManage::tr("短消息长度不应超过128个字符！");
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
    Q_EMIT q->SentNoteMessage(source().myID, chosenRecipient(), txtSend->text());
    txtSend->setFocus();
}

void NotesManagePrivate::layOut()
{
    // Each placement stands alone: one that cannot be made is logged and the
    // others are still made.
    const int listHeight = cmbList->sizeHint().height();
    const int buttonWidth = cmdSend->sizeHint().width();
    // The send box needs room for a line of text: beside the recipients
    // when the panel is wide, else on a row of its own below them.
    const bool oneRow = q->width() - RecipientListWidth - buttonWidth >= MinimumSendWidth;
    const int rows = oneRow ? 1 : 2;
    const int listTop = q->height() - rows * listHeight;
    if (listTop < 0)
        Global::WriteErrorLog(
            u"NotesManage"_s, u"UserControl_Resize"_s, u"Invalid property value"_s, __LINE__);
    else
        txtNotes->setGeometry(0, 0, q->width(), listTop);

    const int sendTop = q->height() - listHeight;
    const int sendLeft = oneRow ? RecipientListWidth : 0;
    cmbList->setGeometry(0, listTop, oneRow ? RecipientListWidth : q->width(), listHeight);

    // The send command keeps its own width at the right end.
    const int sendWidth = q->width() - sendLeft - buttonWidth;
    if (sendWidth < 0) {
        Global::WriteErrorLog(
            u"NotesManage"_s, u"UserControl_Resize"_s, u"Invalid property value"_s, __LINE__);
    } else {
        txtSend->setGeometry(sendLeft, sendTop, sendWidth, listHeight);
        cmdSend->setGeometry(sendLeft + sendWidth, sendTop, buttonWidth, listHeight);
    }
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
    d->txtNotes->setTabChangesFocus(true);
    d->txtNotes->setPlaceholderText(tr("老师和同学的短消息会显示在这里"));
    d->txtNotes->setAccessibleName(tr("短消息记录"));
    d->cmbList = new QComboBox(this);
    d->cmbList->setObjectName(u"cmbList"_s);
    d->cmbList->addItem(everyoneText());
    d->cmbList->setCurrentIndex(0);
    d->cmbList->setAccessibleName(tr("收信人"));
    d->cmbList->setAccessibleDescription(tr("短消息发给谁"));
    d->cmbList->setToolTip(tr("收信人"));
    d->txtSend = new QLineEdit(this);
    d->txtSend->setObjectName(u"txtSend"_s);
    d->txtSend->setAccessibleName(tr("短消息"));
    d->txtSend->installEventFilter(this);
    // No mnemonic: Alt+S is the main window's 系统(&S) menu, and a key two
    // owners share only moves the focus on its first press. Ctrl+Enter
    // sends from anywhere in the panel, beside Enter in the send box.
    d->cmdSend = new QPushButton(tr("发送"), this);
    d->cmdSend->setObjectName(u"cmdSend"_s);
    d->cmdSend->setAccessibleDescription(tr("把短消息发给所选的收信人"));
    d->cmdSend->setToolTip(tr("发送（Ctrl+回车）"));
    d->cmdSend->setAutoDefault(false);
    for (const QKeySequence &keys :
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { d->handleEnter(); });
    }
    // The button takes the same road as Enter: the length, emptiness and
    // permission checks hold for both.
    connect(d->cmdSend, &QPushButton::clicked, this, [this] { d->handleEnter(); });
    setTabOrder(d->txtNotes, d->cmbList);
    setTabOrder(d->cmbList, d->txtSend);
    setTabOrder(d->txtSend, d->cmdSend);
    setAccessibleName(tr("短消息"));
    d->showSendState();
}

NotesManage::~NotesManage()
{
    // The send box dies after d in QObject's clean-up; its last events must
    // not reach a filter that reads d.
    d->txtSend->removeEventFilter(this);
}

void NotesManage::follow(NotesManage *leader)
{
    if (!leader || leader == this || d->leader)
        return;
    d->leader = leader;
    leader->d->followers.append(this);
    // One list of recipients for both: the leader's store and items are
    // kept in step by its host, and item p is position p of that store.
    d->cmbList->setModel(leader->d->cmbList->model());
    d->cmbList->setCurrentIndex(0);
    d->showSendState();
}

void NotesManage::setPrompter(Global::Prompter *prompter)
{
    d->prompts.set(prompter);
}

qint32 NotesManage::MyID() const
{
    return d->source().myID;
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
    return d->source().sendEnabled;
}

void NotesManage::setSendEnabled(bool value)
{
    d->sendEnabled = value;
    d->showSendState();
    for (const QPointer<NotesManage> &follower : std::as_const(d->followers)) {
        if (follower)
            follower->d->showSendState();
    }
}

bool NotesManage::AddUser(qint32 UserID, const QString &UserNick)
{
    // A follower's recipients are its leader's.
    if (d->leader)
        return false;
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
    if (d->leader)
        return false;
    const qint32 position = d->recipients.RemoveUser(UserID);
    if (position > 0 && position < d->cmbList->count()) {
        // A note for someone who left goes to everybody, visibly, rather
        // than to whoever slides into the chosen place.
        if (d->cmbList->currentIndex() == position)
            d->cmbList->setCurrentIndex(0);
        for (const QPointer<NotesManage> &follower : std::as_const(d->followers)) {
            if (follower && follower->d->cmbList->currentIndex() == position)
                follower->d->cmbList->setCurrentIndex(0);
        }
        d->cmbList->removeItem(position);
    }
    return position > 0;
}

bool NotesManage::RemoveAllUsers()
{
    if (d->leader || !d->recipients.RemoveAllUsers())
        return false;
    d->cmbList->clear();
    d->cmbList->addItem(everyoneText());
    d->cmbList->setCurrentIndex(0);
    return true;
}

bool NotesManage::ClearText()
{
    d->history.clear();
    d->viewPending.clear();
    d->viewTrim = 0;
    d->viewChars = 0;
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
    Q_EMIT HistoryAppended(strMessage);
}

void NotesManage::AddNoteMessage(qint32 FromID, qint32 ToID, const QString &strMessage)
{
    if (FromID < 0)
        return;
    QString line;
    if (FromID == 0)
        line = tr("系统：%1").arg(strMessage);
    else if (ToID != 0 && ToID != FromID)
        line = tr("%1对%2说：%3").arg(d->nameOf(FromID), d->nameOf(ToID), strMessage);
    else
        line = tr("%1说：%2").arg(d->nameOf(FromID), strMessage);
    AddMessage(line + LineEnd);
}

QString NotesManage::SelectedUserNick() const
{
    const int item = d->cmbList->currentIndex();
    return item <= 0 ? QString() : d->source().recipients.GetUserNick(item);
}

qint32 NotesManage::SelectedUserID() const
{
    return d->chosenRecipient();
}

bool NotesManage::SelectUser(const QVariant &UserID)
{
    const qint32 position = d->source().recipients.FindUserByID(UserID.toInt());
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
