#include "sim/core/simconsole.h"

#include "common/linereader.h"
#include "sim/core/classroomserver.h"
#include "sim/core/simulator.h"
#include "sim/core/teacherdesk.h"
#include "sim/core/voicerelay.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

const QString HelpText
    = u"commands: rect|square|oval|circle|roundrect|roundsquare|line X1 Y1 X2 Y2 "
      u"[color=#RRGGBB] [width=W]; text X Y WORDS [size=S] [font=F]; pointer X Y; "
      u"arrow X Y; clear; play NODE [verb=V] [pos=P] [media]; url ADDRESS; "
      u"yesno QUESTION; ok QUESTION; notes|voice|speak|whiteboard on|off; grant ID; "
      u"takeback; permit ID whiteboard|notes|speak on|off; note [to=ID] WORDS; "
      u"mpvolume ID V; spvolume ID V; as ID note|hand up|hand down|mic request|"
      u"mic return|answer yes|answer no|ok; roster; relay; help; quit"_s;

} // namespace

SimConsole::SimConsole(Simulator *simulator, SimLog log, QObject *parent)
    : QObject(parent)
    , m_simulator(simulator)
    , m_log(std::move(log))
{ }

SimConsole::~SimConsole() = default;

void SimConsole::listen(int fd)
{
    // At the end of input (or a broken one) the lesson goes on without a
    // console.
    auto *reader = new Global::LineReader(this);
    connect(reader, &Global::LineReader::lineRead, this, &SimConsole::handleLine);
    reader->listen(fd);
}

void SimConsole::handleLine(const QString &text)
{
    const QString line = text.trimmed();
    if (line.isEmpty() || line.startsWith(u'#'))
        return;
    if (line == u"help"_s) {
        m_log({{u"sim"_s, u"help"_s}, {u"text"_s, HelpText}});
        return;
    }
    if (line == u"quit"_s) {
        Q_EMIT quitRequested();
        return;
    }
    ClassroomServer *classroom = m_simulator->classroom(0);
    if (line == u"roster"_s) {
        QJsonArray members;
        for (const ClassMember &member : classroom->members()) {
            members.append(QJsonObject{{u"UserID"_s, member.id}, {u"nick"_s, member.nick},
                {u"status"_s, member.status}, {u"type"_s, member.type},
                {u"scripted"_s, member.scripted()}});
        }
        m_log({{u"sim"_s, u"roster"_s}, {u"members"_s, members},
            {u"floor"_s, classroom->floorHolder()}});
        return;
    }
    if (line == u"relay"_s) {
        const VoiceRelay *relay = classroom->voiceRelay();
        QJsonObject received;
        const auto counts = relay->receivedByMember();
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            received.insert(QString::number(it.key()), it.value());
        m_log({{u"sim"_s, u"relay"_s}, {u"registered"_s, relay->registeredCount()},
            {u"forwarded"_s, relay->forwardedDatagrams()}, {u"lost"_s, relay->impairedLost()},
            {u"received"_s, received}});
        return;
    }
    QString error;
    if (m_simulator->desk(0)->run(line, error))
        m_log({{u"sim"_s, u"done"_s}, {u"command"_s, line}});
    else
        m_log({{u"sim"_s, u"console-error"_s}, {u"command"_s, line}, {u"error"_s, error}});
}
