#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <tuple>
#include <type_traits>
#include <vector>

class clsRemoteSync;

namespace ClassLive {

// The class events that need the entered state, passed on from the
// connection. While class entry runs the gate holds them (reception itself
// stays on) and, when entry ends, hands them on in the order they arrived.
// A lost connection drops what is held: it belonged to that class.
//
// Events not listed here (the client key, play commands, the campus
// messages) reach their units straight from the connection.
class ClassEventGate : public QObject
{
    Q_OBJECT
public:
    explicit ClassEventGate(clsRemoteSync &remote, QObject *parent = nullptr);

    void hold();
    // Hands on everything held, oldest first: as much as fits in one slice
    // at once, the rest on the following turns of the event loop, so a
    // large backlog never freezes the window. A handler may hold again (the
    // rest stays held) or drop.
    void release();
    void drop();

    bool isHolding() const { return m_holding; }
    int heldCount() const { return int(m_queue.size() - m_next); }

Q_SIGNALS:
    void GetNoteMessage(qint32 FromID, qint32 ToID, const QString &Message);
    void GetMsgLogOut(qint32 UserID);
    void GetMsgWhiteBoard(qint32 ShapeType, qint32 x1, qint32 y1, qint32 x2, qint32 y2,
        qint32 LineWidth, qint32 Color, const QString &strMessage, qint16 FontSize,
        const QString &FontName);
    void GetMsgMPVolume(qint32 UserID, qint32 VolumeValue);
    void GetMsgSPVolume(qint32 UserID, qint32 VolumeValue);
    void GetMsgEnable(qint32 UserStatus);
    void GetMsgURL(qint32 lngLength, const QString &strURL);
    void GetMsgYESNOPrompt(qint32 lngLength, const QString &strMessage);
    void GetMsgOKPrompt(qint32 lngLength, const QString &strMessage);
    void GetMsgUserList(qint32 Count, const QString &strUserList, qint16 CmdVerb);
    void GetMsgMicroPhoneRelease();
    void GetMsgMicroPhoneHold();
    void GetMsgGlobalVoiceStatus(bool boolValue);
    void GetMsgGlobalNoteStatus(bool boolValue);
    void GetMsgGlobalSpeakStatus(bool boolValue);
    void GetMsgGlobalWhiteBoardStatus(bool boolValue);

private:
    template <typename... A>
    void pass(
        clsRemoteSync &remote, void (clsRemoteSync::*from)(A...), void (ClassEventGate::*to)(A...));
    void deliver(std::function<void()> event);
    void handOnSlice();

    std::vector<std::function<void()>> m_queue;
    size_t m_next = 0; // first event of m_queue not yet handed on
    bool m_holding = false;
    QTimer m_nextSlice; // zero-time: the rest of a release
};

} // namespace ClassLive
