#pragma once

#include "controls/userlist/lumouserlistroster_export.h"
#include "controls/userlist/userstatus.h"
#include "controls/userlist/utuser.h"

#include <QHash>
#include <QString>

#include <optional>
#include <set>
#include <vector>

// The roster of the current class. Position 0 is the reserved "everybody"
// entry (ID 0, nick "所有人"); users sit at positions 1 to Count in the order
// they were added, and a removal moves every later user one position down.
// A search that lands on the reserved entry answers like a miss (0).
//
// The searches answer exactly as a scan from position 0 would, but through
// indexes: each user carries an ever-growing stamp, so a position is the rank
// of a stamp in the ordered array, and removals need not renumber anything.
class LUMOUSERLISTROSTER_EXPORT clsUserList
{
public:
    clsUserList();
    ~clsUserList();
    clsUserList(const clsUserList &) = delete;
    clsUserList &operator=(const clsUserList &) = delete;

    static const QString EveryoneNick;
    // Stored nicks are cut to this many characters.
    static constexpr int NickLength = 16;

    qint32 myID() const { return m_myID; }
    void setMyID(qint32 value) { m_myID = value; }
    // The kind of user running the host: 1 stays 1 (student), anything else
    // is stored as 2 (teacher).
    qint32 UserType() const { return m_hostType; }
    void setUserType(qint32 value)
    {
        m_hostType = value == ccutStudent ? ccutStudent : ccutTeacher;
    }
    qint16 ViewType() const { return m_viewType; }
    void setViewType(qint16 value) { m_viewType = value; }
    qint32 Language() const { return m_language; }
    void setLanguage(qint32 value) { m_language = value; }
    qint32 Count() const { return qint32(m_users.size()); }

    // The new user's position (the new Count), or 0 when the ID is not
    // positive, the ID is present, or the uncut nick equals a stored nick.
    qint32 AddUser(qint32 UserID, const QString &UserNick, quint8 UserStatus, quint8 UserType);
    // Makes room for this many users in all, so that filling the roster
    // from a full user list neither rehashes nor reallocates on the way.
    // The host knows the count from the list before it adds anybody.
    void ReserveUsers(qint32 UserCount);
    bool RemoveUser(qint32 UserID);
    // True when anyone was removed.
    bool RemoveAllUsers();

    qint32 FindUserByID(qint32 UserID) const;
    qint32 FindUserByName(const QString &UserNick) const;
    qint32 GetUserIDByName(const QString &UserNick) const;
    QString GetUserNameByID(qint32 UserID) const;
    qint32 GetUserID(qint32 Index) const;
    QString GetUserNick(qint32 Index) const;
    // The whole record at a position; all zero with an empty nick outside 1
    // to Count.
    utUser GetUser(qint32 Index) const;

    bool SetUserStatus(qint32 UserID, quint8 UserStatus);
    bool SetUserType(qint32 UserID, quint8 UserType);
    // Applies SetBitStatus to the user's byte. Empty when the mask type names
    // no field (nothing changes); else whether the user exists.
    std::optional<bool> SetUserStatusEx(qint32 UserID, UserStatusMaskType MaskType, cStatus Value);
    quint8 GetUserStatus(qint32 UserID) const;
    quint8 GetUserType(qint32 UserID) const;
    // CheckStatus on the user's byte; 0 (no StatusResultType) when the user
    // is absent.
    StatusResultType GetUserStatusEx(qint32 UserID, UserStatusMaskType MaskType) const;
    qint32 FindTeacherID() const;

    static StatusResultType CheckStatus(UserStatusMaskType MaskType, quint8 Status);
    // The byte with one field set. A value the field does not accept gives 0
    // (every bit clear). Empty when the mask type names no field.
    static std::optional<quint8> SetBitStatus(
        quint8 Status, UserStatusMaskType MaskType, cStatus Value);

private:
    struct Entry {
        quint64 stamp;
        utUser user;
    };

    // Index into m_users of a stamp, -1 when absent.
    qsizetype slotOfStamp(quint64 stamp) const;
    qsizetype slotOfID(qint32 UserID) const;
    void forgetNick(const QString &nick, qsizetype slot);

    std::vector<Entry> m_users; // position p lives at m_users[p - 1]
    QHash<qint32, quint64> m_stampByID;
    // The first holder of each stored nick. Stored nicks may repeat (two
    // long nicks can share their first 16 characters); that is rare, so the
    // further holders are only counted and looked for when the first leaves.
    QHash<QString, quint64> m_firstStampByNick;
    QHash<QString, int> m_moreHoldersByNick;
    std::set<quint64> m_teacherStamps;
    quint64 m_nextStamp = 1;

    qint32 m_myID = 0;
    qint32 m_hostType = ccutTeacher;
    qint16 m_viewType = 0;
    qint32 m_language = 0;
};
