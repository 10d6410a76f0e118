#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class clsRemoteSync;
class UserList;

namespace Global {
class Prompter;
}

namespace ClassLive {
class ClassEventGate;
}

namespace ClassroomVoice {

class VoicePort;

// A private voice talk between two students, negotiated in notes:
//
//   asker A                              asked B
//   "[请求和你语音密谈]"        ->        question to the student
//                               <-        "[同意和你语音密谈]" ip ] port
//   voice at B, "[回应我的地址]" ip ] port ->  voice at A
//   "[结束密谈]" either way: both back to the class relays, listening only
//
// A command moves the voice only when it comes from the user it answers:
// an acceptance from the user this student asked (while the request is
// pending), an address reply from the user whose request this student
// accepted, an end from the current partner. A named address must be a
// unicast IPv4 address with a port from 1024 up. Anything else is logged
// and changes nothing.
//
// The talk's microphone is open while the talk is on and the student lets
// it be (setMicrophoneAllowed: with push-to-talk, only while the talk key is
// held); closing it stops the engine's speaking, so nothing reaches the
// partner, and the talk keeps listening.
//
// The user list's bInPrivateTalk follows the talk (it offers "结束语音密谈"
// only during one). A partner, or the user asked, who leaves the class ends
// the talk or the request here, as an end received would.
class PrivateTalk : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
        ClassLive::ClassEventGate &gate;
        UserList &users;
        Global::Prompter &prompter;
        VoicePort &voice;
        // The talk port (the "gChatPort" setting).
        std::function<QString()> chatPort;
        // Where the engine listens and speaks in class: the local relays.
        std::function<quint16()> classListenPort;
        std::function<quint16()> classSpeakPort;
        // Where the student reads how the talk stands (asked, waiting,
        // talking, ended); may be empty.
        std::function<void(const QString &)> showStatus = {};
    };
    struct Limits {
        // How long a request sent, or an acceptance given, waits for its
        // answer.
        int answerMs = 60000;
    };

    PrivateTalk(Deps deps, QObject *parent = nullptr);
    PrivateTalk(Deps deps, Limits limits, QObject *parent = nullptr);

    qint32 TalkPartnerID() const { return m_partner; }
    qint32 askedID() const { return m_asked; }
    qint32 acceptedID() const { return m_accepted; }

    static const QString Request;
    static const QString Acceptance;
    static const QString Refusal;
    static const QString AddressReply;
    static const QString End;

public Q_SLOTS:
    // The user list's "语音密谈" command.
    void OnSendUserVoice(qint32 UserID, const QString &UserNick);
    // The user list's "结束语音密谈" command.
    void OnEndUserVoice(qint32 UserID, const QString &UserNick);
    // The student leaves the class while still connected: a talk on is
    // ended and the partner told, a request or an acceptance still open is
    // dropped.
    void leave();
    // The connection ended: no talk survives it, and nobody can be told.
    void reset();
    // Whether the talk's microphone may be open (on until told otherwise).
    // Kept across talks: a talk that starts while it is closed starts
    // listening only.
    void setMicrophoneAllowed(bool allowed);

Q_SIGNALS:
    // A talk started with the partner of this nick, or ended (empty).
    void talkChanged(const QString &partnerNick);

private:
    void onNote(qint32 FromID, qint32 ToID, const QString &Message);
    void requestReceived(qint32 FromID);
    void acceptanceReceived(qint32 FromID, const QString &Message);
    void addressReplyReceived(qint32 FromID, const QString &Message);
    void refusalReceived(qint32 FromID);
    void endReceived(qint32 FromID);
    void userLeft(qint32 UserID);
    void requestLapsed();
    void startTalk(qint32 partner, const QString &ip, const QString &port);
    void endOfTalk();
    void send(qint32 ToID, const QString &text);
    void refuse(qint32 FromID, const QString &why);
    void status(const QString &text);
    qint32 ownID() const;
    QString nickOf(qint32 UserID) const;

    Deps m;
    Limits m_limits;
    qint32 m_partner = 0;
    // Kept from the start: a partner who left is gone from the roster.
    QString m_partnerNick;
    QString m_askedNick;
    qint32 m_asked = 0; // request sent, no answer yet
    qint32 m_accepted = 0; // request accepted, address reply not yet in
    bool m_microphoneAllowed = true;
    QTimer m_askTimer;
    QTimer m_acceptTimer;
};

} // namespace ClassroomVoice
