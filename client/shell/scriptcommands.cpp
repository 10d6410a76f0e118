#include "client/shell/scriptcommands.h"

#include "client/classroom/live/answerbar.h"
#include "client/shell/form1.h"
#include "client/shell/runreporter.h"
#include "common/linereader.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"

#include "client/classroom/frmvizerazav.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolBar>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

QString nameOf(const QWidget *widget)
{
    if (!widget)
        return u"nothing"_s;
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// Where a person's pointer would be to press `widget` at `local`: its
// top-level window and the point in it; null when the window is not shown.
QWindow *windowPoint(const QWidget *widget, QPoint local, QPoint &at)
{
    const QWidget *top = widget->window();
    at = widget->mapTo(top, local);
    return top->isVisible() ? top->windowHandle() : nullptr;
}

// One pointer event handed to a window as the windowing system hands it:
// the window finds the widget under the point (or the open popup) itself.
// Synchronous, no event loop of its own.
void pointer(QWindow *window, QEvent::Type type, Qt::MouseButton button, QPoint at)
{
    const Qt::MouseButtons held
        = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, at, window->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

void click(QWindow *window, Qt::MouseButton button, QPoint at)
{
    pointer(window, QEvent::MouseButtonPress, button, at);
    pointer(window, QEvent::MouseButtonRelease, button, at);
}

} // namespace

QString ScriptCommands::clickAt(QAbstractButton *button, const QString &name)
{
    if (!button)
        return name + u" is missing"_s;
    if (!button->isEnabled() || !button->isVisibleTo(button->window()))
        return name + u" cannot be pressed now"_s;
    QPoint at;
    QWindow *window = windowPoint(button, button->rect().center(), at);
    if (!window)
        return name + u" is in no window shown"_s;
    // A dialog that blocks the window takes the click, as it would a
    // person's (an event handed to the window directly would pass it by).
    if (const QWidget *modal = QApplication::activeModalWidget();
        modal && modal != button->window())
        return name + u" is behind the dialog \""_s + modal->windowTitle() + u"\""_s;
    const QWidget *under = button->window()->childAt(at);
    bool clicked = false;
    const QMetaObject::Connection watch
        = connect(button, &QAbstractButton::clicked, button, [&clicked] { clicked = true; });
    // Through the window, as the pointer would: whatever lies on top at
    // that point receives the press.
    click(window, Qt::LeftButton, at);
    disconnect(watch);
    if (!clicked)
        return name + u" did not take the click; under the pointer: "_s + nameOf(under);
    return {};
}

ScriptCommands::ScriptCommands(Form1 &form, RunReporter &reporter, QObject *parent)
    : QObject(parent)
    , m_form(form)
    , m_reporter(reporter)
{ }

ScriptCommands::~ScriptCommands() = default;

void ScriptCommands::listen(int fd)
{
    // End of input stops reading; the run goes on.
    auto *reader = new Global::LineReader(this);
    connect(reader, &Global::LineReader::lineRead, this, &ScriptCommands::handleLine);
    reader->listen(fd);
}

void ScriptCommands::handleLine(const QString &text)
{
    const QString line = text.trimmed();
    if (line.isEmpty())
        return;
    const qsizetype space = line.indexOf(u' ');
    const QString verb = line.left(space);
    const QString rest = space < 0 ? QString() : line.mid(space + 1).trimmed();
    if (verb == u"picture"_s && !rest.isEmpty()) {
        picture(rest);
    } else if (verb == u"notes"_s) {
        m_reporter.event(u"notes"_s, {{u"text"_s, m_form.notesManage()->Export()}});
    } else if (verb == u"users"_s) {
        const UserList *users = m_form.ListViewUserList();
        QJsonArray ids;
        for (qint32 i = 1; i <= users->Count(); ++i)
            ids.append(users->GetUserIDByIndex(i));
        m_reporter.event(u"users"_s, {{u"ids"_s, ids}});
    } else if (verb == u"controls"_s) {
        controls();
    } else if (verb == u"say"_s && !rest.isEmpty()) {
        say(rest);
    } else if (verb == u"mic"_s || verb == u"hand"_s || verb == u"talk"_s || verb == u"endtalk"_s
        || verb == u"answer"_s || verb == u"disconnect"_s) {
        const QString refused = press(verb, rest);
        QJsonObject fields{
            {u"command"_s, line}, {u"result"_s, refused.isEmpty() ? u"done"_s : u"refused"_s}};
        if (!refused.isEmpty())
            fields.insert(u"reason"_s, refused);
        m_reporter.event(u"command"_s, fields);
    } else {
        m_reporter.event(u"command-error"_s, {{u"command"_s, line}});
    }
}

void ScriptCommands::picture(const QString &name)
{
    const QStringList files = m_reporter.savePictures(name);
    for (const QString &file : files)
        m_reporter.event(u"picture"_s, {{u"name"_s, name}, {u"file"_s, file}});
    // The whiteboard area as the student sees it: the courseware below,
    // the drawing layer and the answer bar above.
    const QWidget *board = m_form.WhiteBoard();
    const QRect area(board->mapTo(&m_form, QPoint(0, 0)), board->size());
    const QString boardFile = m_reporter.pictureFile(name + u"-board"_s);
    if (!boardFile.isEmpty() && m_form.grab(area).save(boardFile))
        m_reporter.event(
            u"picture"_s, {{u"name"_s, name}, {u"file"_s, boardFile}, {u"what"_s, u"board"_s}});
}

void ScriptCommands::say(const QString &words)
{
    QString text = words;
    qint32 to = 0;
    if (text.startsWith(u"to="_s)) {
        const qsizetype space = text.indexOf(u' ');
        bool ok = false;
        to = text.mid(3, space < 0 ? -1 : space - 3).toInt(&ok);
        if (!ok || space < 0) {
            m_reporter.event(u"command-error"_s, {{u"command"_s, u"say "_s + words}});
            return;
        }
        text = text.mid(space + 1);
    }
    NotesManage *notes = m_form.notesManage();
    // Through the panel's own controls, as a student sends a note.
    auto *send = notes->findChild<QPushButton *>(u"cmdSend"_s);
    if (!send || !send->isEnabled()) {
        m_reporter.event(u"command-error"_s,
            {{u"command"_s, u"say "_s + words}, {u"reason"_s, u"sending is off"_s}});
        return;
    }
    if (to == 0) {
        if (auto *list = notes->findChild<QComboBox *>(u"cmbList"_s))
            list->setCurrentIndex(0);
    } else {
        notes->SelectUser(to);
    }
    if (notes->SelectedUserID() != to) {
        m_reporter.event(u"command-error"_s,
            {{u"command"_s, u"say "_s + words}, {u"reason"_s, u"no such recipient"_s}});
        return;
    }
    notes->SetSendText(text);
    const QString refused = clickAt(send, u"the send button"_s);
    if (!refused.isEmpty())
        m_reporter.event(
            u"command-error"_s, {{u"command"_s, u"say "_s + words}, {u"reason"_s, refused}});
}

QString ScriptCommands::press(const QString &verb, const QString &argument)
{
    UserList *users = m_form.ListViewUserList();
    if (verb == u"mic"_s && argument.isEmpty())
        return clickAt(m_form.volumeControl() ? m_form.volumeControl()->cmdSpeaker() : nullptr,
            u"the microphone button"_s);
    if (verb == u"hand"_s && argument.isEmpty())
        return clickAt(m_form.cmdRaiseHand(), u"the raise-hand button"_s);
    if (verb == u"answer"_s)
        return answer(argument);
    if (verb == u"talk"_s) {
        bool ok = false;
        const qint32 id = argument.toInt(&ok);
        if (!ok || id <= 0 || !users || users->GetUserByID(id).UserID != id)
            return argument + u" is nobody in the user list"_s;
        return pickUserMenuEntry(id, "语音密谈 (&C)");
    }
    if (verb == u"endtalk"_s) {
        if (!users)
            return u"the user list is missing"_s;
        qint32 id = 0;
        if (!argument.isEmpty()) {
            bool ok = false;
            id = argument.toInt(&ok);
            if (!ok || id <= 0 || users->GetUserByID(id).UserID != id)
                return argument + u" is nobody in the user list"_s;
        } else {
            // The partner's row shows the talk; any classmate's row offers
            // the entry when the partner's is not to be found.
            qint32 classmate = 0;
            for (qint32 i = 1; i <= users->Count() && id == 0; ++i) {
                const qint32 other = users->GetUserIDByIndex(i);
                if (other == users->myID())
                    continue;
                if (users->CheckUserFreeStatus(other))
                    id = other;
                else if (classmate == 0)
                    classmate = other;
            }
            if (id == 0)
                id = classmate;
            if (id == 0)
                return u"nobody else is in the user list"_s;
        }
        return pickUserMenuEntry(id, "结束语音密谈");
    }
    if (verb == u"disconnect"_s && argument.isEmpty()) {
        auto *toolbar = m_form.findChild<QToolBar *>(u"Toolbar1"_s);
        auto *action = m_form.findChild<QAction *>(u"DisConnect"_s);
        auto *button = qobject_cast<QAbstractButton *>(
            toolbar && action ? toolbar->widgetForAction(action) : nullptr);
        return clickAt(button, u"the DisConnect button"_s);
    }
    return u"unknown command"_s;
}

QString ScriptCommands::answer(const QString &which)
{
    auto *bar = m_form.findChild<ClassLive::AnswerBar *>();
    if (!bar || !bar->isVisible())
        return u"no question is open"_s;
    QAbstractButton *button = nullptr;
    if (which == u"yes"_s)
        button = bar->yesButton();
    else if (which == u"no"_s)
        button = bar->noButton();
    else if (which == u"ok"_s)
        button = bar->okButton();
    else
        return u"answer yes, no or ok"_s;
    if (!button->isVisibleTo(bar))
        return u"the question offers no "_s + which;
    return clickAt(button, u"the answer button "_s + which);
}

QString ScriptCommands::pickUserMenuEntry(qint32 UserID, const char *caption)
{
    UserList *users = m_form.ListViewUserList();
    QAbstractItemView *view = nullptr;
    for (QAbstractItemView *candidate : users->findChildren<QAbstractItemView *>()) {
        if (candidate->model() && candidate->isVisibleTo(users))
            view = candidate;
    }
    if (!view)
        return u"the user list shows no rows"_s;
    qint32 position = 0;
    for (qint32 i = 1; i <= users->Count() && position == 0; ++i) {
        if (users->GetUserIDByIndex(i) == UserID)
            position = i;
    }
    const QModelIndex row = view->model()->index(position - 1, 0);
    if (!row.isValid())
        return QString::number(UserID) + u" has no row shown yet"_s;
    view->scrollTo(row);
    QPoint at;
    QWindow *window = windowPoint(view->viewport(), view->visualRect(row).center(), at);
    if (!window)
        return u"the user list is in no window shown"_s;
    if (const QWidget *modal = QApplication::activeModalWidget(); modal && modal != users->window())
        return u"the user list is behind the dialog \""_s + modal->windowTitle() + u"\""_s;
    click(window, Qt::RightButton, at);
    QMenu *menu = nullptr;
    for (QMenu *candidate : users->findChildren<QMenu *>()) {
        if (candidate->isVisible())
            menu = candidate;
    }
    if (!menu)
        return u"no menu opened on the row of "_s + QString::number(UserID);
    // The list's own caption, as its translation shows it.
    const QString source = QString::fromUtf8(caption);
    const QString shown = QCoreApplication::translate("UserList", caption);
    QAction *entry = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == shown || action->text() == source)
            entry = action;
    }
    QString refused;
    if (!entry) {
        refused = u"the menu has no entry "_s + shown;
    } else if (!entry->isEnabled()) {
        refused = u"the menu entry "_s + shown + u" is disabled"_s;
    } else {
        bool triggered = false;
        const QMetaObject::Connection watch
            = connect(entry, &QAction::triggered, this, [&triggered] { triggered = true; });
        const QPoint point = menu->actionGeometry(entry).center();
        // The pointer travels to the entry first, in steps: a menu takes no
        // release from a pointer that has not moved since it opened.
        const QPoint start = menu->rect().topLeft();
        for (int step = 1; step <= 8; ++step)
            pointer(menu->windowHandle(), QEvent::MouseMove, Qt::NoButton,
                start + (point - start) * step / 8);
        click(menu->windowHandle(), Qt::LeftButton, point);
        disconnect(watch);
        if (!triggered)
            refused = u"the menu entry "_s + shown + u" did not take the click"_s;
    }
    if (menu->isVisible())
        menu->close();
    return refused;
}

void ScriptCommands::controls()
{
    const auto state = [](const QWidget *widget) {
        return QJsonObject{{u"enabled"_s, widget && widget->isEnabled()},
            {u"tooltip"_s, widget ? widget->toolTip() : QString()}};
    };
    NotesManage *notes = m_form.notesManage();
    const Classroom::frmVizeRazav *voice = m_form.existingVoiceWindow();
    m_reporter.event(u"controls"_s,
        {{u"sendBox"_s, state(notes->findChild<QLineEdit *>(u"txtSend"_s))},
            {u"send"_s, state(notes->findChild<QPushButton *>(u"cmdSend"_s))},
            {u"sendNotes"_s, state(m_form.cmdSendNotes())},
            {u"raiseHand"_s, state(m_form.cmdRaiseHand())},
            {u"microphone"_s, state(m_form.volumeControl()->cmdSpeaker())},
            {u"tools"_s, state(m_form.Frame3())}, {u"users"_s, m_form.ListViewUserList()->Count()},
            {u"recipient"_s, notes->SelectedUserID()},
            {u"inPrivateTalk"_s, m_form.ListViewUserList()->bInPrivateTalk()},
            {u"speaking"_s, voice && voice->bStartSpeak()},
            {u"listening"_s, voice && voice->bStartListen()},
            {u"caption"_s, m_form.windowTitle()}});
}
