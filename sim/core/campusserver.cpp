#include "sim/core/campusserver.h"

#include "protocol/decoders.h"
#include "protocol/messages.h"
#include "protocol/wire.h"
#include "sim/core/peerconnection.h"
#include "sim/core/serverframe.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

using namespace Qt::StringLiterals;

CampusServer::CampusServer(const SimConfig &config, SimLog log, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_log(std::move(log))
    , m_server(new QTcpServer(this))
{
    for (const SimCourse &course : std::as_const(m_config.courses)) {
        for (const QString &code : course.booked)
            m_bookings[course.id].insert(m_config.userByCode(code)->id);
    }
    connect(m_server, &QTcpServer::newConnection, this, &CampusServer::accept);
    AcceptGuard::watch(m_server, u"campus"_s, m_log);
}

CampusServer::~CampusServer() = default;

bool CampusServer::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 CampusServer::port() const
{
    return m_server->serverPort();
}

void CampusServer::setClassroomPort(const QString &classroom, quint16 port)
{
    m_classroomPorts.insert(classroom, port);
}

void CampusServer::setDefaultWebHost(const QString &host)
{
    m_defaultWebHost = host;
}

QList<qint32> CampusServer::bookedCourses(qint32 userId) const
{
    QList<qint32> courses;
    for (auto it = m_bookings.cbegin(); it != m_bookings.cend(); ++it) {
        if (it.value().contains(userId))
            courses.append(it.key());
    }
    std::sort(courses.begin(), courses.end());
    return courses;
}

void CampusServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *peer = new PeerConnection(socket, this);
        m_sessions.insert(peer, {});
        connect(peer, &PeerConnection::frameReceived, this,
            [this, peer](const ServerFrame::Frame &frame) { handle(peer, frame); });
        connect(peer, &PeerConnection::closed, this, [this, peer](const QString &reason) {
            const qint32 userId = m_sessions.take(peer).userId;
            if (userId != 0)
                report(u"campus-left"_s, {{u"UserID"_s, userId}, {u"reason"_s, reason}});
            // Deleted later: the signal may come from inside the peer's own
            // read loop.
            peer->deleteLater();
        });
    }
}

void CampusServer::handle(PeerConnection *peer, const ServerFrame::Frame &frame)
{
    if (frame.type == mtCampusLogin) {
        login(peer, frame);
        return;
    }
    const qint32 userId = m_sessions.value(peer).userId;
    if (userId == 0) {
        // Nothing but the login is answered before a login succeeded.
        report(u"campus-ignored"_s, {{u"type"_s, frame.type}, {u"reason"_s, u"not logged in"_s}});
        return;
    }
    switch (frame.type) {
    case mtCampusCourseList: sendCourseList(peer, userId, frame.verb); break;
    case mtCampusList: sendCategoryList(peer); break;
    case mtCampusChooseCourse: chooseCourse(peer, userId, frame); break;
    case mtCampusSetCourse: setCourse(userId, frame); break;
    case mtCampusNewCourse: newCourse(peer, userId); break;
    case mtCampusUploadComplete: {
        const auto upload = Messages::decodeUploadComplete(ServerFrame::view(frame));
        const qint32 courseId = upload.record.CourseID;
        const bool ok = frame.verb == 0 && !upload.failure && course(courseId)
            && teaches(userId, *course(courseId));
        report(
            u"campus-upload"_s, {{u"UserID"_s, userId}, {u"CourseID"_s, courseId}, {u"ok"_s, ok}});
        peer->send(mtCampusUploadComplete, ok ? mvSUCCESS : mvERROR, userId);
        break;
    }
    case mtCampusLogOut:
        m_sessions[peer].userId = 0;
        report(u"campus-logout"_s, {{u"UserID"_s, userId}});
        peer->send(mtCampusLogOut, mvSUCCESS, userId);
        break;
    default:
        report(u"campus-ignored"_s,
            {{u"type"_s, frame.type}, {u"reason"_s, u"not a campus message"_s}});
        break;
    }
}

void CampusServer::login(PeerConnection *peer, const ServerFrame::Frame &frame)
{
    const SimUser *user = m_config.userById(frame.id);
    // The password arrives as the client's builder makes it; building the
    // stored password the same way compares byte for byte.
    const bool ok = frame.verb == 0 && user && !user->scripted
        && Messages::campusLogin(user->password) == frame.payload;
    m_sessions[peer].userId = ok ? user->id : 0;
    report(u"campus-login"_s, {{u"UserID"_s, frame.id}, {u"ok"_s, ok}});
    peer->send(mtCampusLogin, ok ? mvSUCCESS : mvERROR, frame.id);
}

void CampusServer::sendCourseList(PeerConnection *peer, qint32 userId, qint32 verb)
{
    if (verb < mvSTUDENTLIST || verb > mvSCHOOLLIST) {
        report(u"campus-ignored"_s, {{u"type"_s, int(mtCampusCourseList)}, {u"verb"_s, verb}});
        return;
    }
    QByteArray payload;
    int count = 0;
    for (const SimCourse &entry : std::as_const(m_config.courses)) {
        const bool listed = verb == mvSTUDENTLIST ? m_bookings.value(entry.id).contains(userId)
            : verb == mvTEACHERLIST               ? teaches(userId, entry)
                                                  : true;
        if (!listed || count == MaxCourseRecords)
            continue;
        Messages::CourseRecord record;
        record.courseID = entry.id;
        record.categoryID = entry.category;
        record.fileName = entry.file;
        record.teacher = entry.teacher;
        record.serverAddress = m_config.campusAddress;
        record.serverPort = m_classroomPorts.value(entry.classroom);
        record.classTime = entry.classTime;
        record.description = entry.description;
        payload.append(Messages::courseRecord(record));
        ++count;
    }
    report(u"campus-courses"_s, {{u"UserID"_s, userId}, {u"verb"_s, verb}, {u"Count"_s, count}});
    peer->send(mtCampusCourseList, verb, userId, payload);
}

void CampusServer::sendCategoryList(PeerConnection *peer)
{
    QByteArray payload;
    for (const SimCategory &category : std::as_const(m_config.categories)) {
        if (payload.size() / CategoryRecordSize == MaxCategoryRecords)
            break;
        Messages::CategoryRecord record;
        record.categoryID = category.id;
        record.name = category.name;
        record.extra = u"campus"_s + QString::number(category.id);
        record.text = category.text;
        record.webHost = category.webHost.isEmpty() ? m_defaultWebHost : category.webHost;
        record.firstWord = category.firstWord;
        record.secondWord = category.secondWord;
        payload.append(Messages::categoryRecord(record));
    }
    report(u"campus-categories"_s, {{u"Count"_s, int(payload.size() / CategoryRecordSize)}});
    peer->send(mtCampusList, mvSUCCESS, 0, payload);
}

void CampusServer::chooseCourse(
    PeerConnection *peer, qint32 userId, const ServerFrame::Frame &frame)
{
    const auto chosen = Messages::decodeNumber(ServerFrame::view(frame));
    const qint32 courseId = chosen.record;
    bool ok
        = !chosen.failure && course(courseId) && (frame.verb == mvChoose || frame.verb == mvCANCEL);
    if (ok && frame.verb == mvChoose) {
        m_bookings[courseId].insert(userId);
        m_choices[courseId].insert(userId);
    } else if (ok) {
        m_choices[courseId].remove(userId);
    }
    report(u"campus-choose"_s,
        {{u"UserID"_s, userId}, {u"CourseID"_s, courseId}, {u"verb"_s, frame.verb}, {u"ok"_s, ok}});
    peer->send(mtCampusChooseCourse, ok ? mvSUCCESS : mvERROR, userId);
}

void CampusServer::newCourse(PeerConnection *peer, qint32 userId)
{
    const SimUser *user = m_config.userById(userId);
    if (!user || user->type != 2) {
        report(u"campus-newcourse"_s, {{u"UserID"_s, userId}, {u"ok"_s, false}});
        peer->send(mtCampusNewCourse, mvERROR, userId);
        return;
    }
    qint32 id = 1;
    for (const SimCourse &entry : std::as_const(m_config.courses))
        id = std::max(id, entry.id + 1);
    SimCourse created;
    created.id = id;
    created.category = m_config.categories.isEmpty() ? 0 : m_config.categories.first().id;
    created.file = u"course"_s + QString::number(id) + u".lsn"_s;
    created.teacher = user->nick;
    created.classroom = m_config.classrooms.first().name;
    m_config.courses.append(created);
    report(u"campus-newcourse"_s, {{u"UserID"_s, userId}, {u"CourseID"_s, id}, {u"ok"_s, true}});
    peer->send(mtCampusNewCourse, mvSUCCESS, userId, Messages::number(id));
}

void CampusServer::setCourse(qint32 userId, const ServerFrame::Frame &frame)
{
    // The set-course message has no answer; the course record changes for
    // the next lists when the sender teaches the course.
    const auto set = Messages::decodeSetCourse(ServerFrame::view(frame));
    SimCourse *entry = course(set.record.CourseID);
    const bool ok = !set.failure && entry && teaches(userId, *entry);
    if (ok) {
        entry->classTime = set.record.CourseTime;
        entry->description = set.record.CourseDesc;
    }
    report(u"campus-setcourse"_s, {{u"UserID"_s, userId}, {u"ok"_s, ok}});
}

bool CampusServer::teaches(qint32 userId, const SimCourse &entry) const
{
    const SimUser *user = m_config.userById(userId);
    if (!user || user->type != 2)
        return false;
    const SimClassroom *room = m_config.classroom(entry.classroom);
    return entry.teacher == user->nick || (room && room->teacher == userId);
}

SimCourse *CampusServer::course(qint32 id)
{
    for (SimCourse &entry : m_config.courses) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

void CampusServer::report(const QString &what, QJsonObject details)
{
    if (!m_log)
        return;
    details.insert(u"sim"_s, what);
    m_log(details);
}
