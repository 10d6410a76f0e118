#include "controls/notesmanage/clsnoteuserlist.h"

using namespace Qt::StringLiterals;

const QString clsNoteUserList::EveryoneNick = u"所有人"_s;

clsNoteUserList::clsNoteUserList()
{
    m_entries.append({EveryoneNick, 0});
}

qint32 clsNoteUserList::AddUser(qint32 UserID, const QString &UserNick)
{
    if (UserID <= 0 || FindUserByID(UserID) != 0)
        return 0;
    m_entries.append({UserNick, UserID});
    return Count();
}

qint32 clsNoteUserList::RemoveUser(qint32 UserID)
{
    const qint32 position = FindUserByID(UserID);
    if (position > 0)
        m_entries.removeAt(position);
    return position;
}

bool clsNoteUserList::RemoveAllUsers()
{
    if (Count() == 0)
        return false;
    m_entries.resize(1);
    return true;
}

qint32 clsNoteUserList::GetUserByName(const QString &UserNick) const
{
    // The scan starts at the everybody entry, which answers like a miss.
    for (const Entry &entry : m_entries)
        if (entry.nick == UserNick)
            return entry.id;
    return 0;
}

QString clsNoteUserList::GetUserByID(qint32 UserID) const
{
    return GetUserNick(FindUserByID(UserID));
}

qint32 clsNoteUserList::GetUserID(qint32 Index) const
{
    return Index < 1 || Index > Count() ? 0 : m_entries.at(Index).id;
}

QString clsNoteUserList::GetUserNick(qint32 Index) const
{
    return Index < 1 || Index > Count() ? QString() : m_entries.at(Index).nick;
}

qint32 clsNoteUserList::FindUserByID(qint32 UserID) const
{
    for (qsizetype position = 0; position < m_entries.size(); ++position)
        if (m_entries.at(position).id == UserID)
            return qint32(position);
    return 0;
}
