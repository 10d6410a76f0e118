#pragma once

#include "sim/core/simconfig.h"
#include "sim/core/simlog.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSet>

#include <functional>

class QTcpServer;
class PeerConnection;
namespace ServerFrame {
struct Frame;
}

// The campus server: login, the course lists, the category list, booking
// and cancelling, course creation and upload reports, logout.
class CampusServer : public QObject
{
    Q_OBJECT

public:
    // Lists are cut to what one frame of the client's dispatcher carries.
    static constexpr int MaxCourseRecords = 90;
    static constexpr int MaxCategoryRecords = 88;

    CampusServer(const SimConfig &config, SimLog log, QObject *parent = nullptr);
    ~CampusServer() override;

    bool listen(quint16 port = 0);
    quint16 port() const;

    // The port of each classroom, for the course records.
    void setClassroomPort(const QString &classroom, quint16 port);
    // The host put into category records that name none of their own.
    void setDefaultWebHost(const QString &host);

    // Courses booked by a user, sorted by course number.
    QList<qint32> bookedCourses(qint32 userId) const;

private:
    struct Session {
        qint32 userId = 0; // 0 until the login succeeded
    };

    void accept();
    void handle(PeerConnection *peer, const ServerFrame::Frame &frame);
    void login(PeerConnection *peer, const ServerFrame::Frame &frame);
    void sendCourseList(PeerConnection *peer, qint32 userId, qint32 verb);
    void sendCategoryList(PeerConnection *peer);
    void chooseCourse(PeerConnection *peer, qint32 userId, const ServerFrame::Frame &frame);
    void newCourse(PeerConnection *peer, qint32 userId);
    void setCourse(qint32 userId, const ServerFrame::Frame &frame);
    bool teaches(qint32 userId, const SimCourse &course) const;
    SimCourse *course(qint32 id);
    void report(const QString &what, QJsonObject details = {});

    SimConfig m_config;
    SimLog m_log;
    QTcpServer *m_server = nullptr;
    QHash<PeerConnection *, Session> m_sessions;
    QHash<qint32, QSet<qint32>> m_bookings; // course -> users
    // Course -> users who chose it to enter now. The choice is what the
    // cancel verb releases; a booking outlives it, so a student who comes
    // back finds her booked courses where she left them.
    QHash<qint32, QSet<qint32>> m_choices;
    QHash<QString, quint16> m_classroomPorts;
    QString m_defaultWebHost = QStringLiteral("127.0.0.1");
};
