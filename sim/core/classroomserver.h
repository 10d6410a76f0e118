#pragma once

#include "sim/core/classmember.h"
#include "sim/core/simconfig.h"
#include "sim/core/simlog.h"

#include <optional>
#include <QHash>
#include <QList>
#include <QObject>

class QTcpServer;
class PeerConnection;
class VoiceRelay;
namespace ServerFrame {
struct Frame;
}

// A classroom server: the roster, message routing between the members, the
// whiteboard log, the microphone floor and the UDP voice relay on the same
// port number as the TCP service.
class ClassroomServer : public QObject
{
    Q_OBJECT

public:
    // Status bits a student may only lose by its own report; the teacher
    // gives them (whiteboard, notes, speak).
    static constexpr quint8 PermissionBits = 0x1C;
    static constexpr quint8 SpeakingBit = 0x20;
    static constexpr int MaxBoardSigns = 10000;
    static constexpr int MaxRefusedLogins = 3;

    ClassroomServer(
        const SimConfig &config, const SimClassroom &room, SimLog log, QObject *parent = nullptr);
    ~ClassroomServer() override;

    // Listens on TCP and UDP with the same port number; with port 0 the
    // system picks one that is free for both.
    bool listen(quint16 port = 0);
    quint16 port() const;
    QString name() const { return m_room.name; }
    qint32 teacherId() const { return m_room.teacher; }

    // Handles one message as if member `fromId` had sent it: the way the
    // members the simulator plays act. False when there is no such member.
    bool act(qint32 fromId, quint8 type, qint32 verb, const QByteArray &payload = {});

    // The teacher's floor controls: give the microphone to a student (taking
    // it from the current speaker), or take it back.
    bool grantFloor(qint32 id);
    void takeBackFloor();
    qint32 floorHolder() const { return m_floorHolder; }
    QList<qint32> floorQueue() const { return m_floorQueue; }

    // The teacher changes one member's status byte; everybody is told.
    bool setStatus(qint32 id, quint8 status);

    QList<ClassMember> members() const { return m_members; }
    std::optional<ClassMember> member(qint32 id) const;
    int boardSignCount() const { return int(m_board.size()); }
    VoiceRelay *voiceRelay() const { return m_voice; }

Q_SIGNALS:
    void memberReady(qint32 id);

private:
    struct Sign {
        qint32 from = 0;
        qint32 verb = 0;
        QByteArray payload;
    };

    void accept();
    void handle(PeerConnection *peer, const ServerFrame::Frame &frame);
    void login(PeerConnection *peer, const ServerFrame::Frame &frame);
    void leave(qint32 id, const QString &reason);
    void route(qint32 fromId, quint8 type, qint32 verb, const QByteArray &payload);
    void routeNote(const ClassMember &from, qint32 verb, const QByteArray &payload);
    void routeWhiteBoard(const ClassMember &from, qint32 verb, const QByteArray &payload);
    void routeTeacherMessage(
        const ClassMember &from, quint8 type, qint32 verb, const QByteArray &payload);
    void applySwitch(quint8 status);
    void routeAnswer(const ClassMember &from, quint8 type, const QByteArray &payload);
    void statusReport(const ClassMember &from, const QByteArray &payload);
    void microphone(qint32 fromId, qint32 verb);
    void clientReady(qint32 id);
    void sendClientKey(qint32 id);
    void grantNextInQueue();
    void releaseFloor(bool tellHolder);
    void setSpeaking(qint32 id, bool speaking);

    void deliver(
        const ClassMember &to, quint8 type, qint32 verb, qint32 id, const QByteArray &payload);
    void broadcast(
        quint8 type, qint32 verb, qint32 id, const QByteArray &payload, qint32 except = 0);
    QByteArray rosterPayload() const;
    static QByteArray userRecord(const ClassMember &member);
    ClassMember *find(qint32 id);
    qint32 memberForPeer(const PeerConnection *peer) const;
    bool maySpeak(qint32 id) const;
    void report(const QString &what, QJsonObject details = {});

    SimConfig m_config;
    SimClassroom m_room;
    SimLog m_log;
    QTcpServer *m_server = nullptr;
    VoiceRelay *m_voice = nullptr;
    QList<ClassMember> m_members; // in order of arrival
    QHash<PeerConnection *, int> m_refusals; // connections not logged in yet
    QList<Sign> m_board;
    std::optional<Sign> m_lastPlay;
    std::optional<Sign> m_lastUrl;
    qint32 m_floorHolder = 0;
    QList<qint32> m_floorQueue;
    bool m_notesOn = true;
    bool m_voiceOn = true;
    bool m_speakOn = true;
    bool m_whiteboardOn = true;
};
