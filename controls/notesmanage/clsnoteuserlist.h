#pragma once

#include "controls/notesmanage/lumonoteuserlist_export.h"

#include <QList>
#include <QString>

// The recipients of the notes panel. Position 0 is the "everybody" entry
// (ID 0, nick "所有人"); recipients follow at positions 1 to Count in the
// order added, and a removal moves later ones down, so a position is also
// the item number in the recipient list widget. Nicks are kept whole and may
// repeat; IDs may not.
class LUMONOTEUSERLIST_EXPORT clsNoteUserList
{
public:
    clsNoteUserList();

    static const QString EveryoneNick;

    qint32 Count() const { return qint32(m_entries.size() - 1); }
    // The new position, or 0 for an ID of 0 or less or one already present.
    qint32 AddUser(qint32 UserID, const QString &UserNick);
    // The position the user had, 0 when absent.
    qint32 RemoveUser(qint32 UserID);
    bool RemoveAllUsers();
    // ID of the first recipient with exactly that nick, 0 when none.
    qint32 GetUserByName(const QString &UserNick) const;
    QString GetUserByID(qint32 UserID) const;
    qint32 GetUserID(qint32 Index) const;
    QString GetUserNick(qint32 Index) const;
    qint32 FindUserByID(qint32 UserID) const;

private:
    struct Entry {
        QString nick;
        qint32 id;
    };
    // A class holds tens of people: a scan is cheaper than an index here.
    QList<Entry> m_entries;
};
