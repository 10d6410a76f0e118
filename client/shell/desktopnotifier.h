#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QDBusConnection;
class StudentSession;

namespace ClassLive {
class ClassEventGate;
}
namespace ClassroomVoice {
class FloorUnit;
}

// Tells the student through the desktop's notification service
// (org.freedesktop.Notifications on the session bus) what needs her while
// the program's windows are in the background: the floor given to her, a
// question, a private-talk request, a note to her, the class lost. Nothing
// while one of the program's windows is active, nothing when switched off.
//
// The bus is reached at the first notification, from
// DBUS_SESSION_BUS_ADDRESS only (never autolaunched); with no bus the
// program goes on without notifications after one log line. Calls never
// wait: each kind has at most one call under way, a newer notice of that
// kind waits for it and then replaces the one shown, so a flood of notes
// shows one notification that keeps its place.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    enum class Kind { Floor, Question, TalkRequest, Note, ConnectionLost };

    struct Deps {
        // Whether one of the program's windows is active; default: the
        // application's active window.
        std::function<bool()> windowActive;
    };

    explicit DesktopNotifier(Deps deps, QObject *parent = nullptr);
    ~DesktopNotifier() override;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    void notify(Kind kind, const QString &summary, const QString &body);

    // The class's events that call for the student: the floor held, a
    // question, a note or a private-talk request addressed to her (`ownId`
    // tells who she is, `nickOf` names the sender), the class lost.
    void watchClass(ClassLive::ClassEventGate &gate, ClassroomVoice::FloorUnit &floor,
        StudentSession &session, std::function<qint32()> ownId,
        std::function<QString(qint32)> nickOf);

private:
    bool busReady();
    void send(Kind kind);

    struct Slot {
        quint32 shownId = 0; // the notification a newer one replaces
        bool underWay = false;
        bool waiting = false;
        QString summary;
        QString body;
    };

    Deps m;
    bool m_enabled = true;
    enum class Bus { Untried, Up, Missing } m_busState = Bus::Untried;
    std::unique_ptr<QDBusConnection> m_bus;
    // Until the service says otherwise, texts are escaped as if it read
    // markup: a note must never become a link or a picture fetched.
    bool m_markup = true;
    bool m_failureLogged = false;
    std::array<Slot, 5> m_slots;
};
