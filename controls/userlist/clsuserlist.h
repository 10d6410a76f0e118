#pragma once

#include "controls/userlist/liveranks.h"
#include "controls/userlist/lumouserlistroster_export.h"
#include "controls/userlist/slotindex.h"
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
// indexes: each user keeps the slot it was appended to, a removal leaves a
// hole instead of moving the later users, and a position is the rank of a
// slot among the live ones. A flood of departures thus costs O(log n) each.
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
    qint32 Count() const { return qint32(m_slots.size() - 1 - size_t(m_ranks.holes())); }

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
    // A slot of m_slots; 0 is the reserved entry and means "none" in the
    // indexes.
    using Slot = quint32;

    Slot slotOfID(qint32 UserID) const;
    Slot slotAt(qint32 Index) const;
    qint32 positionOf(Slot slot) const { return qint32(m_ranks.positionOf(slot)); }
    const QString &nickOf(Slot slot) const { return m_slots[slot].UserNick; }
    Slot firstSlotOfNick(const QString &nick) const;
    // Closes the holes; every index follows its users to their new slots.
    void closeHoles();

    // A removed user leaves a hole (UserID 0) until the holes are closed.
    // A user as kept: with the hash of the nick, so that a departure finds
    // the nick's entry without reading the nick (the same 40 bytes as a
    // utUser).
    struct Held {
        QString UserNick;
        qint32 UserID = 0;
        quint32 nickHash = 0;
        quint8 UserStatus = 0;
        quint8 UserType = 0;
    };
    std::vector<Held> m_slots;
    LiveRanks m_ranks;
    SlotIndex::IdSlots m_slotByID;
    // The holders of each stored nick. Stored nicks may repeat (two long
    // nicks can share their first 16 characters).
    SlotIndex::NickHolders m_nicks;
    std::set<Slot> m_teacherSlots;

    qint32 m_myID = 0;
    qint32 m_hostType = ccutTeacher;
    qint16 m_viewType = 0;
    qint32 m_language = 0;
};
