#pragma once

#include <QString>
#include <QtGlobal>

namespace ClassLive {

// What the live-class units share about the class in progress. Owned by the
// main window beside SessionState; each field is written by the unit named
// and read by the others.
struct ClassLiveState {
    // Roster: a teacher was in the last full roster and has not yet been
    // announced in the notes history (cleared by the notes unit when it
    // announces, and by class entry on every new connection).
    bool bTeacherArrivalPending = false;
    QString TeacherNick;
    // Playback: the last play command, and whether it came before the
    // courseware was open (class entry replays it).
    qint32 CurrPlayID = 0;
    qint32 CurrPlayVerb = 0;
    bool bOpenFalsePlay = false;
};

} // namespace ClassLive
