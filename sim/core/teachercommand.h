#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One action of the simulated teacher or of a simulated classmate, parsed
// from a script line or a console line. Pure: nothing is sent here.
//
//   rect|square|oval|circle|roundrect|roundsquare|line X1 Y1 X2 Y2 [color=C] [width=W]
//   text X Y WORDS... [font=F] [size=S] [color=C]    pointer X Y    arrow X Y    clear
//   play NODE [verb=V] [pos=P] [media]               url ADDRESS
//   yesno QUESTION...    ok QUESTION...              note [to=ID] WORDS...
//   notes|voice|speak|whiteboard on|off              grant ID    takeback
//   permit ID whiteboard|notes|speak on|off          mpvolume ID V    spvolume ID V
//   as ID note|hand up|hand down|mic request|mic return|answer yes|answer no|ok ...
//   end
// Coordinates are twips; colours decimal or #RRGGBB.
struct TeacherCommand {
    enum class Kind {
        Message, // a protocol message from the actor
        Grant,
        TakeBack,
        Permit, // one permission bit of one member
        Hand, // the actor's raised hand, by a status report
        End,
    };

    Kind kind = Kind::Message;
    qint32 actor = 0; // 0: the classroom's teacher
    quint8 type = 0;
    qint32 verb = 0;
    QByteArray payload;
    qint32 target = 0;
    quint8 bit = 0;
    bool on = false;
};

bool ParseTeacherCommand(const QString &line, TeacherCommand &command, QString &error);

struct TimedCommand {
    qint64 atMs = 0;
    int line = 0;
    TeacherCommand command;
};

// A script: one "SECONDS COMMAND" a line, "#" starts a comment. The
// commands come back in time order (lines of the same time keep theirs).
bool ParseTeacherScript(const QString &text, QList<TimedCommand> &commands, QString &error);
