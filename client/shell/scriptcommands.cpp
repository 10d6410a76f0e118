#include "client/shell/scriptcommands.h"

#include "client/shell/form1.h"
#include "client/shell/runreporter.h"
#include "common/linereader.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"

#include "client/classroom/frmvizerazav.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

// A person's click: pressed and released with the mouse where the widget
// lies in its window, so whatever lies on top of it there gets the click.
QString mouseClick(QWidget *widget, const QString &name)
{
    if (!widget)
        return name + u" is missing"_s;
    QWidget *window = widget->window();
    if (!widget->isEnabled() || !widget->isVisibleTo(window) || !window->windowHandle())
        return name + u" cannot be pressed now"_s;
    const QPoint at = widget->mapTo(window, widget->rect().center());
    QWidget *top = window->childAt(at);
    if (top != widget && !widget->isAncestorOf(top))
        return name + u" is covered by "_s
            + (top ? QString::fromLatin1(top->metaObject()->className()) : u"nothing"_s);
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
    return {};
}

// A button that a person could press now.
QString click(QAbstractButton *button, const QString &name)
{
    if (!button)
        return name + u" is missing"_s;
    if (!button->isEnabled() || !button->isVisibleTo(button->window()))
        return name + u" cannot be pressed now"_s;
    button->click();
    return {};
}

} // namespace

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
        || verb == u"disconnect"_s) {
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
    send->click();
}

QString ScriptCommands::press(const QString &verb, const QString &argument)
{
    UserList *users = m_form.ListViewUserList();
    if (verb == u"mic"_s && argument.isEmpty())
        return click(m_form.volumeControl() ? m_form.volumeControl()->cmdSpeaker() : nullptr,
            u"the microphone button"_s);
    if (verb == u"hand"_s && argument.isEmpty())
        return click(m_form.cmdRaiseHand(), u"the raise-hand button"_s);
    if (verb == u"talk"_s) {
        bool ok = false;
        const qint32 id = argument.toInt(&ok);
        const utUser user = users ? users->GetUserByID(id) : utUser{};
        if (!ok || id <= 0 || user.UserID != id)
            return argument + u" is nobody in the user list"_s;
        Q_EMIT users->OnSendUserVoice(user.UserID, user.UserNick);
        return {};
    }
    if (verb == u"endtalk"_s && argument.isEmpty()) {
        if (!users)
            return u"the user list is missing"_s;
        Q_EMIT users->OnEndUserVoice(0, {});
        return {};
    }
    if (verb == u"disconnect"_s && argument.isEmpty()) {
        auto *toolbar = m_form.findChild<QToolBar *>(u"Toolbar1"_s);
        auto *action = m_form.findChild<QAction *>(u"DisConnect"_s);
        QWidget *button = toolbar && action ? toolbar->widgetForAction(action) : nullptr;
        return mouseClick(button, u"the DisConnect button"_s);
    }
    return u"unknown command"_s;
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
