#include "client/shell/scriptcommands.h"

#include "client/shell/form1.h"
#include "client/shell/runreporter.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"

#include <QAbstractButton>
#include <QJsonObject>
#include <QPushButton>
#include <QSocketNotifier>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// No command is longer; a longer line is dropped whole.
constexpr qsizetype MaxLine = 4096;

// A button that a person could press now.
QString press(QAbstractButton *button, const QString &name)
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

void ScriptCommands::listen(int fd)
{
    m_fd = fd;
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ScriptCommands::readAvailable);
}

void ScriptCommands::readAvailable()
{
    char buffer[4096];
    // The notifier said the descriptor is readable: one read does not block.
    const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
    if (count <= 0) {
        m_notifier->setEnabled(false); // end of input: the run goes on
        return;
    }
    m_pending.append(buffer, count);
    qsizetype newline = 0;
    while ((newline = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(newline)).trimmed();
        m_pending.remove(0, newline + 1);
        if (line.isEmpty())
            continue;
        const QString refused = run(line);
        QJsonObject fields{
            {u"command"_s, line}, {u"result"_s, refused.isEmpty() ? u"done"_s : u"refused"_s}};
        if (!refused.isEmpty())
            fields.insert(u"reason"_s, refused);
        m_reporter.event(u"command"_s, fields);
    }
    if (m_pending.size() > MaxLine)
        m_pending.clear();
}

QString ScriptCommands::run(const QString &line)
{
    const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
    const QString verb = words.value(0);
    UserList *users = m_form.ListViewUserList();
    if (verb == u"mic"_s && words.size() == 1)
        return press(m_form.volumeControl() ? m_form.volumeControl()->cmdSpeaker() : nullptr,
            u"the microphone button"_s);
    if (verb == u"hand"_s && words.size() == 1)
        return press(m_form.cmdRaiseHand(), u"the raise-hand button"_s);
    if (verb == u"talk"_s && words.size() == 2) {
        bool ok = false;
        const qint32 id = words.at(1).toInt(&ok);
        const utUser user = users ? users->GetUserByID(id) : utUser{};
        if (!ok || id <= 0 || user.UserID != id)
            return words.at(1) + u" is nobody in the user list"_s;
        Q_EMIT users->OnSendUserVoice(user.UserID, user.UserNick);
        return {};
    }
    if (verb == u"endtalk"_s && words.size() == 1) {
        if (!users)
            return u"the user list is missing"_s;
        Q_EMIT users->OnEndUserVoice(0, {});
        return {};
    }
    return u"unknown command"_s;
}
