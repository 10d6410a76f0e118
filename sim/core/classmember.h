#pragma once

#include <QByteArray>
#include <QString>

class PeerConnection;

// One person present in a simulated classroom.
struct ClassMember {
    qint32 id = 0;
    QString nick;
    quint8 type = 1; // 1 student, 2 teacher
    quint8 status = 0; // the user status byte
    PeerConnection *peer = nullptr; // not owned; null for members the simulator plays
    QByteArray key; // the voice key handed out, empty until asked for
    bool ready = false;

    bool scripted() const { return peer == nullptr; }
    bool isTeacher() const { return type == 2; }
};
