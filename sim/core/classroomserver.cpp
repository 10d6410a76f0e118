#include "sim/core/classroomserver.h"

#include "protocol/decoders.h"
#include "protocol/messages.h"
#include "protocol/wire.h"
#include "sim/core/peerconnection.h"
#include "sim/core/serverframe.h"
#include "sim/core/voicerelay.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace {

// A roster travels in one frame; the client's dispatcher takes 32768 bytes.
constexpr int MaxMembers = int(ServerFrame::MaxPayload / UserRecordSize);

} // namespace

ClassroomServer::ClassroomServer(
    const SimConfig &config, const SimClassroom &room, SimLog log, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_room(room)
    , m_log(std::move(log))
    , m_server(new QTcpServer(this))
{
    VoiceRelay::Hooks hooks;
    hooks.memberForKey = [this](const QByteArray &key) {
        for (const ClassMember &member : std::as_const(m_members)) {
            if (!member.key.isEmpty() && member.key == key)
                return member.id;
        }
        return qint32(0);
    };
    hooks.maySpeak = [this](qint32 id) { return maySpeak(id); };
    m_voice = new VoiceRelay(hooks, m_log, this);
    m_voice->setBundleEvery(room.bundleEvery);

    QList<qint32> played = room.members;
    if (room.teacher != 0)
        played.prepend(room.teacher);
    for (const qint32 id : std::as_const(played)) {
        const SimUser *user = m_config.userById(id);
        ClassMember member;
        member.id = id;
        member.nick = user->nick;
        member.type = user->type;
        member.status = room.initialStatus;
        member.ready = true;
        m_members.append(member);
    }
    connect(m_server, &QTcpServer::newConnection, this, &ClassroomServer::accept);
    AcceptGuard::watch(m_server, u"classroom"_s, m_log);
}

ClassroomServer::~ClassroomServer() = default;

bool ClassroomServer::listen(quint16 port)
{
    if (port != 0)
        return m_server->listen(QHostAddress::LocalHost, port) && m_voice->bind(port);
    // The clients send voice to the classroom's own port number, so TCP and
    // UDP must share it: try system-chosen TCP ports until UDP has it free.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            return false;
        if (m_voice->bind(m_server->serverPort()))
            return true;
        m_server->close();
    }
    return false;
}

quint16 ClassroomServer::port() const
{
    return m_server->serverPort();
}

bool ClassroomServer::act(qint32 fromId, quint8 type, qint32 verb, const QByteArray &payload)
{
    if (!find(fromId))
        return false;
    route(fromId, type, verb, payload);
    return true;
}

std::optional<ClassMember> ClassroomServer::member(qint32 id) const
{
    for (const ClassMember &entry : m_members) {
        if (entry.id == id)
            return entry;
    }
    return std::nullopt;
}

void ClassroomServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *peer = new PeerConnection(socket, this);
        m_refusals.insert(peer, 0);
        connect(peer, &PeerConnection::frameReceived, this,
            [this, peer](const ServerFrame::Frame &frame) { handle(peer, frame); });
        connect(peer, &PeerConnection::closed, this, [this, peer](const QString &reason) {
            m_refusals.remove(peer);
            if (const qint32 id = memberForPeer(peer))
                leave(id, reason);
            // The signal may come from inside the peer's read loop.
            peer->deleteLater();
        });
    }
}

void ClassroomServer::handle(PeerConnection *peer, const ServerFrame::Frame &frame)
{
    const qint32 id = memberForPeer(peer);
    if (id == 0) {
        if (frame.type == mtLogin && frame.verb == 0)
            login(peer, frame);
        else
            report(u"ignored"_s, {{u"type"_s, frame.type}, {u"reason"_s, u"not logged in"_s}});
        return;
    }
    if (frame.type == mtLogin && frame.verb == 0)
        return; // already in class
    route(id, frame.type, frame.verb, frame.payload);
}

void ClassroomServer::login(PeerConnection *peer, const ServerFrame::Frame &frame)
{
    const SimUser *user = m_config.userById(frame.id);
    Wire::Failure failure;
    const QByteArray expected = user ? Messages::login(1, user->password, failure) : QByteArray();
    const auto sent = Messages::decodeLogin(ServerFrame::view(frame));
    const bool passwordOk
        = user && !user->scripted && !sent.refused && sent.record.password == expected.mid(2);
    const bool full = m_members.size() >= MaxMembers && !find(frame.id);
    if (!passwordOk || full) {
        const int refusals = ++m_refusals[peer];
        report(u"login-refused"_s,
            {{u"UserID"_s, frame.id},
                {u"reason"_s, full ? u"class full"_s : u"unknown user or wrong password"_s}});
        // An empty user list is the refusal the client understands.
        peer->send(mtUserList, 1, 0);
        if (refusals >= MaxRefusedLogins)
            peer->close();
        return;
    }
    if (ClassMember *old = find(user->id)) {
        // The same person logging in again: the old connection is put out
        // the way the client understands, then leaves like anybody else.
        PeerConnection *oldPeer = old->peer;
        if (oldPeer)
            oldPeer->send(mtLogin, 1, user->id);
        leave(user->id, u"logged in again"_s);
        if (oldPeer)
            oldPeer->close();
    }
    m_refusals.remove(peer);
    ClassMember member;
    member.id = user->id;
    member.nick = user->nick;
    member.type = user->type;
    member.peer = peer;
    member.status = m_room.initialStatus;
    if (!m_voiceOn)
        member.status &= quint8(~0x04);
    if (!m_whiteboardOn)
        member.status &= quint8(~0x10);
    m_members.append(member);
    report(u"joined"_s,
        {{u"UserID"_s, member.id}, {u"nick"_s, member.nick},
            {u"members"_s, int(m_members.size())}});
    peer->send(mtUserList, 1, 0, rosterPayload());
    broadcast(mtUserList, 3, 0, userRecord(member), member.id);
}

void ClassroomServer::leave(qint32 id, const QString &reason)
{
    qsizetype index = -1;
    for (qsizetype i = 0; i < m_members.size(); ++i) {
        if (m_members[i].id == id)
            index = i;
    }
    if (index < 0)
        return;
    m_members.removeAt(index);
    m_voice->unregister(id);
    m_floorQueue.removeAll(id);
    if (m_floorHolder == id) {
        m_floorHolder = 0;
        grantNextInQueue();
    }
    report(u"left"_s, {{u"UserID"_s, id}, {u"reason"_s, reason}});
    broadcast(mtLogin, 1, id, {});
}

void ClassroomServer::route(qint32 fromId, quint8 type, qint32 verb, const QByteArray &payload)
{
    const ClassMember *sender = find(fromId);
    if (!sender)
        return;
    // A copy: handlers below may change the roster.
    const ClassMember from = *sender;
    switch (type) {
    case mtLogin:
        if (verb == 1) {
            leave(from.id, u"logged out"_s);
            if (from.peer)
                from.peer->close();
        }
        break;
    case mtNotes: routeNote(from, verb, payload); break;
    case mtWhiteBoard: routeWhiteBoard(from, verb, payload); break;
    case mtPlay:
    case mtVolume:
    case mtEnable:
    case mtUrl: routeTeacherMessage(from, type, verb, payload); break;
    case mtYesNo:
    case mtOK:
        if (verb == 1)
            routeTeacherMessage(from, type, verb, payload);
        else if (verb == 2)
            routeAnswer(from, type, payload);
        break;
    case mtUserList:
        if (verb == 2)
            statusReport(from, payload);
        break;
    case mtMicroPhoneRequestion: microphone(from.id, verb); break;
    case mtRefreshUserList: deliver(from, mtUserList, 1, 0, rosterPayload()); break;
    case mtGetClientKey: sendClientKey(from.id); break;
    case mtClientReady: clientReady(from.id); break;
    case mtRefreshWhiteBoard:
        for (const Sign &sign : std::as_const(m_board))
            deliver(from, mtWhiteBoard, sign.verb, sign.from, sign.payload);
        break;
    default: report(u"ignored"_s, {{u"UserID"_s, from.id}, {u"type"_s, type}}); break;
    }
}

void ClassroomServer::routeNote(const ClassMember &from, qint32 verb, const QByteArray &payload)
{
    const auto note
        = Messages::decodeNote(FrameCodec::viewPayload(mtNotes, verb, from.id, payload));
    if (note.refused || note.failure)
        return;
    const qint32 toId = note.record.ToID;
    const QString message = note.record.Message.toString();
    if (toId == 0) {
        const QByteArray text = verb == 0 ? payload : payload.mid(4);
        // The notes switch silences the class chat; notes to one person
        // still pass, they carry raised hands and private-talk commands.
        if (!from.isTeacher() && !(m_notesOn && (from.status & 0x08))) {
            report(u"note-refused"_s, {{u"FromID"_s, from.id}, {u"Message"_s, message}});
            return;
        }
        report(u"note"_s, {{u"FromID"_s, from.id}, {u"ToID"_s, 0}, {u"Message"_s, message}});
        // Everybody, the sender included: the client recognises the echo.
        broadcast(mtNotes, 0, from.id, text);
        return;
    }
    const ClassMember *to = find(toId);
    if (!to) {
        report(u"note-dropped"_s,
            {{u"FromID"_s, from.id}, {u"ToID"_s, toId}, {u"reason"_s, u"no such member"_s}});
        return;
    }
    report(u"note"_s, {{u"FromID"_s, from.id}, {u"ToID"_s, toId}, {u"Message"_s, message}});
    deliver(*to, mtNotes, 1, from.id, payload);
}

void ClassroomServer::routeWhiteBoard(
    const ClassMember &from, qint32 verb, const QByteArray &payload)
{
    if (!from.isTeacher() && !(m_whiteboardOn && (from.status & 0x10))) {
        report(u"whiteboard-refused"_s, {{u"FromID"_s, from.id}});
        return;
    }
    // A sign whose lengths disagree with its size would be stored and
    // replayed to every later arrival: refuse it at the door.
    const auto sign
        = Messages::decodeWhiteBoard(FrameCodec::viewPayload(mtWhiteBoard, verb, from.id, payload));
    const qint32 x1 = sign.record.x1;
    const qint32 y1 = sign.record.y1;
    if (sign.failure || !sign.record.lengthsAgree) {
        report(
            u"whiteboard-refused"_s, {{u"FromID"_s, from.id}, {u"reason"_s, u"malformed sign"_s}});
        return;
    }
    if (verb == 255) {
        m_board.clear();
    } else if (!(verb == 8 && x1 == 255 && y1 == 255)) {
        if (m_board.size() < MaxBoardSigns)
            m_board.append({from.id, verb, payload});
        else
            report(u"whiteboard-full"_s, {{u"signs"_s, int(m_board.size())}});
    }
    broadcast(mtWhiteBoard, verb, from.id, payload, from.id);
}

void ClassroomServer::routeTeacherMessage(
    const ClassMember &from, quint8 type, qint32 verb, const QByteArray &payload)
{
    if (!from.isTeacher()) {
        report(u"refused"_s,
            {{u"FromID"_s, from.id}, {u"type"_s, type},
                {u"reason"_s, u"only the teacher sends this"_s}});
        return;
    }
    switch (type) {
    case mtPlay:
        m_lastPlay = Sign{from.id, verb, payload};
        m_lastUrl.reset();
        break;
    case mtUrl:
        m_lastUrl = Sign{from.id, verb, payload};
        m_lastPlay.reset();
        break;
    case mtEnable:
        applySwitch(quint8(
            Messages::decodeEnable(FrameCodec::viewPayload(type, verb, from.id, payload)).record));
        break;
    case mtVolume: {
        const qint32 userId
            = Messages::decodeVolume(FrameCodec::viewPayload(type, verb, from.id, payload))
                  .record.UserID;
        if (userId != 0) {
            if (const ClassMember *to = find(userId))
                deliver(*to, type, verb, from.id, payload);
            return;
        }
        break;
    }
    default: break;
    }
    broadcast(type, verb, from.id, payload, from.id);
}

void ClassroomServer::applySwitch(quint8 status)
{
    auto setBit = [this](quint8 bit, bool on) {
        for (ClassMember &member : m_members) {
            if (!member.isTeacher())
                member.status = on ? quint8(member.status | bit) : quint8(member.status & ~bit);
        }
    };
    switch (status) {
    case gsEnableSpeak: m_speakOn = true; break;
    case gsDisableSpeak:
        m_speakOn = false;
        releaseFloor(false);
        m_floorQueue.clear();
        break;
    case gsEnableWhiteBoard: m_whiteboardOn = true; break;
    case gsDisableWhiteBoard:
        m_whiteboardOn = false;
        setBit(0x10, false);
        break;
    case gsEnableNote: m_notesOn = true; break;
    case gsDisableNote: m_notesOn = false; break;
    case gsEnableVoice:
        m_voiceOn = true;
        setBit(0x04, true);
        break;
    case gsDisableVoice:
        m_voiceOn = false;
        setBit(0x04, false);
        // The clients give the microphone back themselves on this switch.
        releaseFloor(false);
        m_floorQueue.clear();
        break;
    default: break;
    }
    report(u"switch"_s, {{u"status"_s, status}});
}

void ClassroomServer::routeAnswer(const ClassMember &from, quint8 type, const QByteArray &payload)
{
    const bool yes
        = Messages::decodeAnswer(FrameCodec::viewPayload(type, 2, from.id, payload)).record.boolYes;
    report(u"answer"_s,
        {{u"UserID"_s, from.id}, {u"kind"_s, type == mtYesNo ? u"yesno"_s : u"ok"_s},
            {u"boolYes"_s, yes}});
    for (const ClassMember &member : std::as_const(m_members)) {
        if (member.isTeacher() && member.id != from.id)
            deliver(member, type, 2, from.id, payload);
    }
}

void ClassroomServer::statusReport(const ClassMember &from, const QByteArray &payload)
{
    // Records that cannot be read are left out by the decoder.
    const auto records
        = Messages::decodeUserRecords(FrameCodec::viewPayload(mtUserList, 2, from.id, payload));
    for (const UserInfo &record : records.record) {
        const qint32 id = record.uiUserID;
        quint8 status = record.uiStatus;
        ClassMember *target = find(id);
        if (!target)
            continue;
        if (!from.isTeacher()) {
            // A student reports its own hand, answer and activity, and may
            // give up a permission, but never grant itself one.
            if (id != from.id)
                continue;
            status
                = quint8((status & ~PermissionBits) | (status & target->status & PermissionBits));
        }
        const quint8 before = target->status;
        target->status = status;
        report(u"status"_s, {{u"UserID"_s, id}, {u"before"_s, before}, {u"status"_s, status}});
        broadcast(mtUserList, 2, from.id, userRecord(*target), from.id);
    }
}

bool ClassroomServer::setStatus(qint32 id, quint8 status)
{
    ClassMember *target = find(id);
    if (!target)
        return false;
    target->status = status;
    report(u"status"_s, {{u"UserID"_s, id}, {u"status"_s, status}});
    broadcast(mtUserList, 2, m_room.teacher, userRecord(*target));
    return true;
}

void ClassroomServer::microphone(qint32 fromId, qint32 verb)
{
    ClassMember *from = find(fromId);
    if (!from || from->isTeacher() || (verb != 0 && verb != 1))
        return;
    if (verb == 0) {
        if (m_floorHolder == fromId) {
            report(u"floor-returned"_s, {{u"UserID"_s, fromId}});
            releaseFloor(true);
            grantNextInQueue();
        } else {
            m_floorQueue.removeAll(fromId);
            deliver(*from, mtMicroPhoneRequestion, 0, 0, {});
        }
        return;
    }
    if (!(m_voiceOn && m_speakOn && (from->status & 0x04))) {
        report(u"floor-refused"_s, {{u"UserID"_s, fromId}});
        deliver(*from, mtMicroPhoneRequestion, 0, 0, {});
        return;
    }
    if (m_floorHolder == fromId) {
        deliver(*from, mtMicroPhoneRequestion, 1, 0, {});
        return;
    }
    if (!m_floorQueue.contains(fromId))
        m_floorQueue.append(fromId);
    report(u"floor-request"_s,
        {{u"UserID"_s, fromId}, {u"nick"_s, from->nick}, {u"waiting"_s, int(m_floorQueue.size())}});
    grantNextInQueue();
}

bool ClassroomServer::grantFloor(qint32 id)
{
    const ClassMember *target = find(id);
    if (!target || target->isTeacher())
        return false;
    if (m_floorHolder != id)
        releaseFloor(true);
    m_floorHolder = id;
    m_floorQueue.removeAll(id);
    report(u"floor-granted"_s, {{u"UserID"_s, id}});
    deliver(*target, mtMicroPhoneRequestion, 1, m_room.teacher, {});
    setSpeaking(id, true);
    return true;
}

void ClassroomServer::takeBackFloor()
{
    releaseFloor(true);
    grantNextInQueue();
}

void ClassroomServer::grantNextInQueue()
{
    if (m_room.floor != u"auto"_s || m_floorHolder != 0)
        return;
    while (!m_floorQueue.isEmpty()) {
        if (grantFloor(m_floorQueue.takeFirst()))
            return;
    }
}

void ClassroomServer::releaseFloor(bool tellHolder)
{
    const qint32 id = m_floorHolder;
    if (id == 0)
        return;
    m_floorHolder = 0;
    report(u"floor-released"_s, {{u"UserID"_s, id}});
    if (const ClassMember *holder = find(id); holder && tellHolder)
        deliver(*holder, mtMicroPhoneRequestion, 0, m_room.teacher, {});
    setSpeaking(id, false);
}

void ClassroomServer::setSpeaking(qint32 id, bool speaking)
{
    ClassMember *target = find(id);
    if (!target)
        return;
    target->status
        = speaking ? quint8(target->status | SpeakingBit) : quint8(target->status & ~SpeakingBit);
    // The speaker's own client marks itself; the others learn it here.
    broadcast(mtUserList, 2, m_room.teacher, userRecord(*target), id);
}

void ClassroomServer::sendClientKey(qint32 id)
{
    ClassMember *member = find(id);
    if (!member)
        return;
    if (member->key.isEmpty()) {
        QByteArray key(16, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(key.data()), 4);
        member->key = key;
    }
    deliver(*member, mtGetClientKey, 0, id, member->key);
}

void ClassroomServer::clientReady(qint32 id)
{
    ClassMember *member = find(id);
    if (!member)
        return;
    member->ready = true;
    report(u"ready"_s, {{u"UserID"_s, id}});
    // A late arrival sees what the others see: the item shown, then the
    // signs drawn on it.
    const ClassMember copy = *member;
    if (m_lastUrl)
        deliver(copy, mtUrl, m_lastUrl->verb, m_lastUrl->from, m_lastUrl->payload);
    if (m_lastPlay)
        deliver(copy, mtPlay, m_lastPlay->verb, m_lastPlay->from, m_lastPlay->payload);
    for (const Sign &sign : std::as_const(m_board))
        deliver(copy, mtWhiteBoard, sign.verb, sign.from, sign.payload);
    Q_EMIT memberReady(id);
}

void ClassroomServer::deliver(
    const ClassMember &to, quint8 type, qint32 verb, qint32 id, const QByteArray &payload)
{
    if (to.peer) {
        to.peer->send(type, verb, id, payload);
        return;
    }
    if (type == mtNotes || type == mtYesNo || type == mtOK || type == mtMicroPhoneRequestion)
        report(u"to-scripted"_s,
            {{u"UserID"_s, to.id}, {u"type"_s, type}, {u"verb"_s, verb}, {u"FromID"_s, id}});
}

void ClassroomServer::broadcast(
    quint8 type, qint32 verb, qint32 id, const QByteArray &payload, qint32 except)
{
    const QByteArray frame = ServerFrame::encode(type, verb, id, payload);
    // A send may drop a stalled peer; its leaving is queued, so the roster
    // stays as it is during this loop.
    for (const ClassMember &member : std::as_const(m_members)) {
        if (member.id != except && member.peer)
            member.peer->send(frame);
    }
}

QByteArray ClassroomServer::rosterPayload() const
{
    QByteArray payload;
    payload.reserve(m_members.size() * UserRecordSize);
    for (const ClassMember &member : m_members)
        payload.append(userRecord(member));
    return payload;
}

QByteArray ClassroomServer::userRecord(const ClassMember &member)
{
    QByteArray record(UserRecordSize, '\0');
    Wire::putInt32(record.data(), member.id);
    // The client reads the name back from the ANSI code page.
    const QByteArray nick = Wire::fixedWidth(Wire::narrowBytes(member.nick), 16);
    std::copy(nick.cbegin(), nick.cend(), record.begin() + 4);
    record[20] = char(member.status);
    record[21] = char(member.type);
    return record;
}

ClassMember *ClassroomServer::find(qint32 id)
{
    for (ClassMember &member : m_members) {
        if (member.id == id)
            return &member;
    }
    return nullptr;
}

qint32 ClassroomServer::memberForPeer(const PeerConnection *peer) const
{
    for (const ClassMember &member : m_members) {
        if (member.peer == peer)
            return member.id;
    }
    return 0;
}

bool ClassroomServer::maySpeak(qint32 id) const
{
    const auto speaker = member(id);
    if (!speaker)
        return false;
    return speaker->isTeacher() || (id == m_floorHolder && m_voiceOn && m_speakOn);
}

void ClassroomServer::report(const QString &what, QJsonObject details)
{
    if (!m_log)
        return;
    details.insert(u"sim"_s, what);
    details.insert(u"classroom"_s, m_room.name);
    m_log(details);
}
