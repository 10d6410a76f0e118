#pragma once

#include "sim/core/simconfig.h"
#include "sim/core/simlog.h"
#include "voice/core/networkimpairment.h"

#include <QJsonObject>
#include <QObject>

#include <memory>
#include <vector>

class CampusServer;
class ClassroomServer;
class ScriptRunner;
class SimWebServer;
class TeacherDesk;

// The whole local environment: web, campus, classrooms with their voice
// relays, and the scripted teachers. Loopback only, one thread.
class Simulator : public QObject
{
    Q_OBJECT

public:
    enum class ScriptStart {
        FirstReady, // when the first connected member of the class is ready
        Now,
        Never,
    };

    struct Options {
        quint16 webPort = 0;
        quint16 campusPort = 0;
        quint16 classroomPort = 0; // the first classroom's; the others are chosen
        QString scriptOverride; // a script for the first classroom instead of its own
        ScriptStart scriptStart = ScriptStart::FirstReady;
        // On every classroom relay's way to its listeners.
        Voice::ImpairmentSettings voiceImpairment;
    };

    Simulator(SimConfig config, Options options, SimLog log, QObject *parent = nullptr);
    ~Simulator() override;

    bool start(QString &error);

    // {"web":W,"campus":C,"classroom":R,"voice":R}, and "classrooms" by name
    // when there is more than one.
    QJsonObject ports() const;

    CampusServer *campus() const { return m_campus.get(); }
    SimWebServer *web() const { return m_web.get(); }
    int classroomCount() const { return int(m_rooms.size()); }
    ClassroomServer *classroom(int index = 0) const;
    TeacherDesk *desk(int index = 0) const;
    ScriptRunner *script(int index = 0) const;

Q_SIGNALS:
    // Every classroom that has a script has finished it.
    void scriptsFinished();

private:
    struct Room {
        std::unique_ptr<ClassroomServer> server;
        std::unique_ptr<TeacherDesk> desk;
        std::unique_ptr<ScriptRunner> script;
    };

    bool loadScript(Room &room, const QString &path, QString &error);
    void checkScriptsFinished();

    SimConfig m_config;
    Options m_options;
    SimLog m_log;
    std::unique_ptr<SimWebServer> m_web;
    std::unique_ptr<CampusServer> m_campus;
    std::vector<Room> m_rooms;
};
