#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAbstractButton;
class clsRemoteSync;
class NotesManage;

namespace Global {
class Prompter;
}

namespace ClassLive {

class ClassEventGate;
struct ClassLiveState;

// Ordinary notes: those received are shown (the student's own echo is not,
// notes between two others are ignored, private-talk commands are left to
// the private talk), those written in the panel or in the detached notes
// window are shown and sent. Also the mail button.
class NotesBinder : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
        ClassEventGate &gate;
        ClassLiveState &live;
        Global::Prompter &prompter;
        NotesManage &panel;
        // The detached notes window's panel; may be null.
        NotesManage *detached = nullptr;
        // cmdSendMail; may be null.
        QAbstractButton *mailButton = nullptr;
    };

    explicit NotesBinder(Deps deps, QObject *parent = nullptr);

    // The bracketed texts that two clients exchange to set up a private
    // voice talk; addressed to the student they are commands, not notes.
    static bool isPrivateTalkCommand(const QString &message);

public Q_SLOTS:
    void sendMail();

private:
    void onNote(qint32 FromID, qint32 ToID, const QString &Message);
    void send(NotesManage &from, qint32 FromID, qint32 ToID, const QString &strMessage);

    Deps m;
};

} // namespace ClassLive
