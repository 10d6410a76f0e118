#pragma once

#include <QObject>

class NotesManage;
class StatusPanels;
class StudentSession;

namespace Global {
class Prompter;
}

// What the student is told while the session finds its way back into a
// lost class: the connection panel counts the time away, the notes history
// says when the class was lost and when it came back, and a return that
// ran out of time says so in a message box.
class SessionNotices : public QObject
{
    Q_OBJECT
public:
    SessionNotices(StudentSession &session, StatusPanels &status, NotesManage &notes,
        Global::Prompter &prompter, QObject *parent = nullptr);

    static QString lostText();
    static QString backText();
    // "12 秒", "3 分 05 秒".
    static QString awayText(qint64 ms);

private:
    StatusPanels &m_status;
    NotesManage &m_notes;
    bool m_announced = false; // the loss is in the notes history
};
