#pragma once

#include "controls/userlist/userstatus.h"

#include <QString>

// One person of the class as the user list control hands it out.
struct utUser {
    QString UserNick;
    qint32 UserID = 0;
    quint8 UserStatus = 0;
    AulixUserType UserType = AulixUserType(0);

    friend bool operator==(const utUser &, const utUser &) = default;
};
