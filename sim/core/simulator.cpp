#include "sim/core/simulator.h"

#include "sim/core/campusserver.h"
#include "sim/core/classroomserver.h"
#include "sim/core/scriptrunner.h"
#include "sim/core/simwebserver.h"
#include "sim/core/teacherdesk.h"
#include "sim/core/voicerelay.h"

#include <QFile>

using namespace Qt::StringLiterals;

Simulator::Simulator(SimConfig config, Options options, SimLog log, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_options(std::move(options))
    , m_log(log ? std::move(log) : SimLog([](const QJsonObject &) {}))
{ }

Simulator::~Simulator()
{
    // Scripts and desks point at their classrooms: they go first.
    for (Room &room : m_rooms) {
        room.script.reset();
        room.desk.reset();
    }
}

bool Simulator::start(QString &error)
{
    m_web = std::make_unique<SimWebServer>(m_config, m_log);
    m_web->setCampusAddress(m_config.campusAddress);
    m_web->setPagesFolder(m_config.pagesFolder);
    if (!m_web->listen(m_options.webPort)) {
        error = u"the web server cannot listen on port %1"_s.arg(m_options.webPort);
        return false;
    }
    m_campus = std::make_unique<CampusServer>(m_config, m_log);
    if (!m_campus->listen(m_options.campusPort)) {
        error = u"the campus server cannot listen on port %1"_s.arg(m_options.campusPort);
        return false;
    }
    const QString webAddress = u"http://127.0.0.1:%1"_s.arg(m_web->port());
    // Categories that name no web host of their own point at this web
    // server, port included, so the courseware directory is reachable.
    m_campus->setDefaultWebHost(u"127.0.0.1:%1"_s.arg(m_web->port()));
    for (qsizetype i = 0; i < m_config.classrooms.size(); ++i) {
        const SimClassroom &config = m_config.classrooms.at(i);
        Room room;
        room.server = std::make_unique<ClassroomServer>(m_config, config, m_log);
        const quint16 port = i == 0 ? m_options.classroomPort : 0;
        if (!room.server->listen(port)) {
            error
                = u"classroom %1 cannot listen on TCP and UDP port %2"_s.arg(config.name).arg(port);
            return false;
        }
        m_campus->setClassroomPort(config.name, room.server->port());
        room.server->voiceRelay()->setImpairment(m_options.voiceImpairment);
        room.desk = std::make_unique<TeacherDesk>(room.server.get());
        room.desk->setWebAddress(webAddress);
        const QString script = i == 0 && !m_options.scriptOverride.isEmpty()
            ? m_options.scriptOverride
            : m_config.resolve(config.script);
        if (!script.isEmpty() && !loadScript(room, script, error))
            return false;
        m_rooms.push_back(std::move(room));
    }
    for (Room &room : m_rooms) {
        ScriptRunner *runner = room.script.get();
        if (!runner)
            continue;
        connect(runner, &ScriptRunner::finished, this, &Simulator::checkScriptsFinished);
        if (m_options.scriptStart == ScriptStart::Now) {
            runner->start();
        } else if (m_options.scriptStart == ScriptStart::FirstReady) {
            connect(room.server.get(), &ClassroomServer::memberReady, runner,
                [runner, server = room.server.get()](qint32 id) {
                    const auto member = server->member(id);
                    if (member && !member->scripted())
                        runner->start();
                });
        }
    }
    m_log({{u"sim"_s, u"started"_s}, {u"ports"_s, ports()}});
    return true;
}

bool Simulator::loadScript(Room &room, const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"cannot read the script %1: %2"_s.arg(path, file.errorString());
        return false;
    }
    QList<TimedCommand> commands;
    QString scriptError;
    if (!ParseTeacherScript(
            room.desk->expand(QString::fromUtf8(file.readAll())), commands, scriptError)) {
        error = path + u": "_s + scriptError;
        return false;
    }
    room.script = std::make_unique<ScriptRunner>(room.desk.get(), commands, m_log);
    return true;
}

void Simulator::checkScriptsFinished()
{
    for (const Room &room : m_rooms) {
        if (room.script && !room.script->isFinished())
            return;
    }
    Q_EMIT scriptsFinished();
}

QJsonObject Simulator::ports() const
{
    QJsonObject ports{
        {u"web"_s, m_web ? m_web->port() : 0}, {u"campus"_s, m_campus ? m_campus->port() : 0}};
    if (!m_rooms.empty()) {
        ports.insert(u"classroom"_s, m_rooms.front().server->port());
        ports.insert(u"voice"_s, m_rooms.front().server->voiceRelay()->port());
    }
    if (m_rooms.size() > 1) {
        QJsonObject rooms;
        for (const Room &room : m_rooms)
            rooms.insert(room.server->name(), room.server->port());
        ports.insert(u"classrooms"_s, rooms);
    }
    return ports;
}

ClassroomServer *Simulator::classroom(int index) const
{
    return index >= 0 && index < int(m_rooms.size()) ? m_rooms[size_t(index)].server.get()
                                                     : nullptr;
}

TeacherDesk *Simulator::desk(int index) const
{
    return index >= 0 && index < int(m_rooms.size()) ? m_rooms[size_t(index)].desk.get() : nullptr;
}

ScriptRunner *Simulator::script(int index) const
{
    return index >= 0 && index < int(m_rooms.size()) ? m_rooms[size_t(index)].script.get()
                                                     : nullptr;
}
