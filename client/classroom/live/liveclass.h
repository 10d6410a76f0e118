#pragma once

#include "client/classroom/live/classentry.h"
#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/classswitches.h"
#include "client/classroom/live/notesbinder.h"
#include "client/classroom/live/playbackbinder.h"
#include "client/classroom/live/questionbinder.h"
#include "client/classroom/live/rosterbinder.h"
#include "client/classroom/live/whiteboardrelay.h"

#include <QObject>

#include <memory>

class QAbstractButton;
class ToolBar;
class WhiteBoardOLE;
class WhiteBoardSign;

namespace ClassLive {

class AnswerBar;

// The live class's units over one connection and one set of controls,
// with the few signals that join them: the roster starts class entry and
// entry replays a deferred play command. Leaving the class (entry failed,
// put out, login refused) is the session's: the program connects those
// signals of entry() and roster() to it. (A play ending an armed sign goes
// through the main window's whiteboard input: playback().aboutToPlay.)
class LiveClass : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
        SessionState &session;
        ClassLiveState &live;
        Global::Prompter &prompter;
        ClassWindow &window;
        UserList &users;
        NotesManage &notes;
        Manage &course;
        VolumeControl &volume;
        WhiteBoardSign &sign;
        WhiteBoardOLE &ole;
        ToolBar &palette;
        AnswerBar &answers;
        RelaySetup &relays;
        ClassVoice &voice;
        CoursewareFetch &fetch;
        FontChooser &fonts;
        // The whiteboard picture box, and the main window's whiteboard
        // input's first-move flag.
        QWidget &board;
        std::function<void()> setFirstMove;
        std::function<QString()> coursewarePath;
        NotesManage *detachedNotes = nullptr;
        QAbstractButton *mailButton = nullptr;
    };

    explicit LiveClass(Deps deps, QObject *parent = nullptr);
    LiveClass(Deps deps, ClassEntry::Limits limits, QObject *parent = nullptr);
    ~LiveClass() override;

    ClassEventGate &gate() { return *m_gate; }
    ClassEntry &entry() { return *m_entry; }
    RosterBinder &roster() { return *m_roster; }
    NotesBinder &notes() { return *m_notes; }
    WhiteBoardRelay &whiteboard() { return *m_whiteboard; }
    PlaybackBinder &playback() { return *m_playback; }

private:
    std::unique_ptr<ClassEventGate> m_gate;
    std::unique_ptr<RosterBinder> m_roster;
    std::unique_ptr<ClassEntry> m_entry;
    std::unique_ptr<NotesBinder> m_notes;
    std::unique_ptr<WhiteBoardRelay> m_whiteboard;
    std::unique_ptr<PlaybackBinder> m_playback;
    std::unique_ptr<ClassSwitches> m_switches;
    std::unique_ptr<QuestionBinder> m_questions;
};

} // namespace ClassLive
