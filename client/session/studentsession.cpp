#include "client/session/studentsession.h"

#include "client/session/lumosession_logging.h"

#include <QMetaEnum>
#include <QPointer>

StudentSession::StudentSession(Road &road, ClassUnits &units, QObject *parent)
    : StudentSession(road, units, Timing{}, parent)
{ }

StudentSession::StudentSession(Road &road, ClassUnits &units, Timing timing, QObject *parent)
    : QObject(parent)
    , m_road(road)
    , m_units(units)
    , m_timing(std::move(timing))
{
    if (m_timing.returnPausesMs.isEmpty())
        m_timing.returnPausesMs = {1000};
    m_tryTimer.setSingleShot(true);
    m_tickTimer.setInterval(m_timing.tickMs);
    m_probeTimer.setInterval(m_timing.probeEveryMs);
    connect(&m_tryTimer, &QTimer::timeout, this, &StudentSession::startTry);
    connect(&m_tickTimer, &QTimer::timeout, this, &StudentSession::tick);
    connect(&m_probeTimer, &QTimer::timeout, this, &StudentSession::probe);
}

StudentSession::~StudentSession() = default;

QString StudentSession::stageName(Stage stage)
{
    return QString::fromLatin1(QMetaEnum::fromType<Stage>().valueToKey(int(stage)));
}

qint64 StudentSession::awayMs() const
{
    return m_stage == Stage::Returning && m_away.isValid() ? m_away.elapsed() : 0;
}

void StudentSession::setStage(Stage stage)
{
    if (m_stage == stage)
        return;
    qCDebug(lcSession) << "session" << stageName(m_stage) << "->" << stageName(stage);
    m_stage = stage;
    Q_EMIT stageChanged(stage);
}

void StudentSession::roadStarted()
{
    if (m_stage == Stage::Offline)
        setStage(Stage::Campus);
}

void StudentSession::bookingShown()
{
    if (m_stage == Stage::Campus)
        setStage(Stage::Booking);
}

void StudentSession::classroomConnecting()
{
    // A return's own road stays a return until the class is back.
    if (m_stage == Stage::Campus || m_stage == Stage::Booking)
        setStage(Stage::Entering);
}

void StudentSession::classEntered()
{
    if (m_stage != Stage::Entering && m_stage != Stage::Returning)
        return;
    const bool wasReturning = m_stage == Stage::Returning;
    const qint64 away = awayMs();
    stopReturn();
    setStage(Stage::InClass);
    m_classRunning = true;
    m_units.classBegan();
    Q_EMIT classBegan();
    if (wasReturning)
        Q_EMIT returned(away);
}

void StudentSession::roadEnded()
{
    switch (m_stage) {
    case Stage::Leaving:
    case Stage::Offline: return; // our own leaveServer()
    case Stage::Returning:
        if (!m_tryRunning)
            return;
        m_tryRunning = false;
        tearDown(Exit::ConnectionLost, false);
        scheduleTry();
        return;
    case Stage::Entering:
    case Stage::InClass:
        // The classroom refused the connection, or its road failed: what
        // entry started is undone.
        tearDown(Exit::EntryFailed, false);
        setStage(Stage::Offline);
        return;
    case Stage::Campus:
    case Stage::Booking: setStage(Stage::Offline); return;
    }
}

void StudentSession::connectionLost()
{
    switch (m_stage) {
    case Stage::Entering:
    case Stage::InClass:
        setStage(Stage::Leaving);
        tearDown(Exit::ConnectionLost, false);
        m_road.leaveServer();
        m_tries = 0;
        m_away.start();
        setStage(Stage::Returning);
        m_tickTimer.start();
        Q_EMIT classEnded(Exit::ConnectionLost);
        scheduleTry();
        return;
    case Stage::Returning:
        // Lost again while a try was entering the class.
        if (!m_tryRunning)
            return;
        m_tryRunning = false;
        tearDown(Exit::ConnectionLost, false);
        m_road.leaveServer();
        scheduleTry();
        return;
    case Stage::Offline:
    case Stage::Campus:
    case Stage::Booking:
    case Stage::Leaving: return;
    }
}

void StudentSession::leave(Exit how)
{
    if (how == Exit::ConnectionLost) {
        connectionLost();
        return;
    }
    switch (m_stage) {
    case Stage::Leaving: return;
    case Stage::Returning: {
        // Disconnect or quit call the return off; a refusal or being put
        // out during a try ends it: the way back is closed.
        const qint64 away = awayMs();
        stopReturn();
        setStage(Stage::Leaving);
        tearDown(how, true);
        m_road.leaveServer();
        setStage(Stage::Offline);
        Q_EMIT returnAbandoned(away, how == Exit::Disconnect || how == Exit::Quit);
        return;
    }
    case Stage::Entering:
    case Stage::InClass:
        setStage(Stage::Leaving);
        tearDown(how, true);
        m_road.leaveServer();
        setStage(Stage::Offline);
        Q_EMIT classEnded(how);
        return;
    case Stage::Offline:
    case Stage::Campus:
    case Stage::Booking:
        if (how == Exit::Disconnect || how == Exit::Quit)
            m_road.leaveServer();
        setStage(Stage::Offline);
        return;
    }
}

void StudentSession::disconnectRequested()
{
    leave(Exit::Disconnect);
}

void StudentSession::tearDown(Exit how, bool connectionUp)
{
    m_classRunning = false;
    m_units.classEnded(how, connectionUp);
}

void StudentSession::scheduleTry()
{
    const qint64 away = m_away.elapsed();
    if (away >= m_timing.returnLimitMs) {
        stopReturn();
        setStage(Stage::Offline);
        Q_EMIT returnAbandoned(away, false);
        return;
    }
    const int pause
        = m_timing.returnPausesMs.at(qMin(m_tries, int(m_timing.returnPausesMs.size()) - 1));
    m_tryTimer.start(pause);
    ++m_probeRound;
    if (pause > m_timing.probeAfterMs)
        m_probeTimer.start();
    Q_EMIT returnProgress(away, pause);
}

void StudentSession::probe()
{
    if (m_stage != Stage::Returning || !m_tryTimer.isActive()) {
        m_probeTimer.stop();
        return;
    }
    const quint64 round = m_probeRound;
    m_road.probeServers([self = QPointer<StudentSession>(this), round](bool reachable) {
        if (!self || !reachable || round != self->m_probeRound || self->m_stage != Stage::Returning
            || !self->m_tryTimer.isActive())
            return;
        self->m_tryTimer.stop();
        self->m_probeTimer.stop();
        self->startTry();
    });
}

void StudentSession::startTry()
{
    m_probeTimer.stop();
    if (m_stage != Stage::Returning)
        return;
    ++m_tries;
    m_tryRunning = true;
    qCDebug(lcSession) << "return try" << m_tries << "after" << m_away.elapsed() << "ms";
    Q_EMIT returnProgress(m_away.elapsed(), 0);
    m_road.returnToClass();
}

void StudentSession::tick()
{
    if (m_stage != Stage::Returning)
        return;
    Q_EMIT returnProgress(m_away.elapsed(), m_tryTimer.isActive() ? m_tryTimer.remainingTime() : 0);
}

void StudentSession::stopReturn()
{
    m_tryTimer.stop();
    m_tickTimer.stop();
    m_probeTimer.stop();
    ++m_probeRound;
    m_tryRunning = false;
    m_tries = 0;
}
