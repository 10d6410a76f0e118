#include "client/shell/desktopnotifier.h"

#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/notesbinder.h"
#include "client/classroom/voice/floorunit.h"
#include "client/session/studentsession.h"
#include "client/shell/lumoshell_logging.h"
#include "client/shell/sessionnotices.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

const QString Service = u"org.freedesktop.Notifications"_s;
const QString Path = u"/org/freedesktop/Notifications"_s;
const QString DesktopEntry = u"org.lumoclass.LumoStudent"_s;
// A call the service has not answered by then is given up.
constexpr int CallLimitMs = 5000;

} // namespace

DesktopNotifier::DesktopNotifier(Deps deps, QObject *parent)
    : QObject(parent)
    , m(std::move(deps))
{
    if (!m.windowActive)
        m.windowActive = [] { return QApplication::activeWindow() != nullptr; };
}

DesktopNotifier::~DesktopNotifier()
{
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_bus->name());
}

bool DesktopNotifier::busReady()
{
    if (m_busState != Bus::Untried)
        return m_busState == Bus::Up;
    m_busState = Bus::Missing;
    // The address as given, or none: an autolaunched bus would outlive the
    // program and show nothing anyway.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        qCInfo(lcShell) << "no session bus: desktop notifications are off for this run";
        return false;
    }
    auto bus = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address, u"lumo-desktop-notifications"_s));
    if (!bus->isConnected()) {
        qCInfo(lcShell) << "no session bus at" << address
                        << "- desktop notifications are off for this run:"
                        << bus->lastError().message();
        QDBusConnection::disconnectFromBus(bus->name());
        return false;
    }
    m_bus = std::move(bus);
    m_busState = Bus::Up;
    // Plain text unless the service reads markup; until it says, escaped.
    QDBusMessage ask = QDBusMessage::createMethodCall(Service, Path, Service, u"GetCapabilities"_s);
    auto *watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(ask, CallLimitMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (!reply.isError())
            m_markup = reply.value().contains(u"body-markup"_s);
    });
    return true;
}

void DesktopNotifier::notify(Kind kind, const QString &summary, const QString &body)
{
    if (!m_enabled || m.windowActive() || !busReady())
        return;
    Slot &slot = m_slots[std::size_t(kind)];
    slot.summary = summary;
    slot.body = body;
    if (slot.underWay) {
        slot.waiting = true;
        return;
    }
    send(kind);
}

void DesktopNotifier::send(Kind kind)
{
    Slot &slot = m_slots[std::size_t(kind)];
    slot.underWay = true;
    slot.waiting = false;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, u"Notify"_s);
    const QVariantMap hints{{u"desktop-entry"_s, DesktopEntry},
        {u"urgency"_s, QVariant::fromValue(uchar(kind == Kind::ConnectionLost ? 2 : 1))}};
    call << u"LumoStudent"_s << slot.shownId << DesktopEntry << slot.summary
         << (m_markup ? slot.body.toHtmlEscaped() : slot.body) << QStringList() << hints
         << qint32(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call, CallLimitMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, kind](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            Slot &answered = m_slots[std::size_t(kind)];
            answered.underWay = false;
            const QDBusPendingReply<quint32> reply = *w;
            if (reply.isError()) {
                // No service on the bus, or one that failed: said once.
                if (!m_failureLogged)
                    qCInfo(lcShell) << "desktop notification not shown:" << reply.error().name()
                                    << reply.error().message();
                m_failureLogged = true;
            } else {
                answered.shownId = reply.value();
            }
            if (answered.waiting)
                send(kind);
        });
}

void DesktopNotifier::watchClass(ClassLive::ClassEventGate &gate, ClassroomVoice::FloorUnit &floor,
    StudentSession &session, std::function<qint32()> ownId, std::function<QString(qint32)> nickOf)
{
    connect(&floor, &ClassroomVoice::FloorUnit::floorChanged, this, [this](bool speaking) {
        if (speaking)
            notify(Kind::Floor, tr("轮到你发言了"), tr("老师把话筒给了你，全班都能听到你说话"));
    });
    const auto question
        = [this](qint32, const QString &text) { notify(Kind::Question, tr("老师提问"), text); };
    connect(&gate, &ClassLive::ClassEventGate::GetMsgYESNOPrompt, this, question);
    connect(&gate, &ClassLive::ClassEventGate::GetMsgOKPrompt, this, question);
    connect(&gate, &ClassLive::ClassEventGate::GetNoteMessage, this,
        [this, ownId = std::move(ownId), nickOf = std::move(nickOf)](
            qint32 FromID, qint32 ToID, const QString &Message) {
            const qint32 own = ownId();
            if (ToID != own || FromID == own)
                return;
            if (Message == u"[请求和你语音密谈]"_s)
                notify(Kind::TalkRequest, tr("语音密谈请求"),
                    tr("%1 请求和你语音密谈").arg(nickOf(FromID)));
            else if (!ClassLive::NotesBinder::isPrivateTalkCommand(Message))
                notify(Kind::Note, tr("%1 给你的短消息").arg(nickOf(FromID)), Message);
        });
    connect(&session, &StudentSession::stageChanged, this, [this](StudentSession::Stage stage) {
        if (stage == StudentSession::Stage::Returning)
            notify(Kind::ConnectionLost, tr("与教室的连接中断了"), SessionNotices::lostText());
    });
}
