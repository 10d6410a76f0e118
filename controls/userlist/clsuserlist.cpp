#include "controls/userlist/clsuserlist.h"

#include <algorithm>

using namespace UserStatusMask;

using namespace Qt::StringLiterals;

const QString clsUserList::EveryoneNick = u"所有人"_s;

namespace {

// The first NickLength characters, without splitting a surrogate pair: half
// a pair would turn into a replacement character on the wire.
QString cutNick(const QString &nick)
{
    if (nick.size() <= clsUserList::NickLength)
        return nick;
    qsizetype length = clsUserList::NickLength;
    if (nick.at(length - 1).isHighSurrogate())
        --length;
    return nick.left(length);
}

} // namespace

clsUserList::clsUserList() = default;
clsUserList::~clsUserList() = default;

qsizetype clsUserList::slotOfStamp(quint64 stamp) const
{
    const auto it = std::lower_bound(m_users.begin(), m_users.end(), stamp,
        [](const Entry &entry, quint64 value) { return entry.stamp < value; });
    if (it == m_users.end() || it->stamp != stamp)
        return -1;
    return it - m_users.begin();
}

qsizetype clsUserList::slotOfID(qint32 UserID) const
{
    // IDs of 0 or less are never added; ID 0 would only find the reserved
    // entry, which answers like a miss.
    if (UserID <= 0)
        return -1;
    const auto it = m_stampByID.constFind(UserID);
    return it == m_stampByID.cend() ? -1 : slotOfStamp(it.value());
}

qint32 clsUserList::AddUser(
    qint32 UserID, const QString &UserNick, quint8 UserStatus, quint8 UserType)
{
    if (UserID <= 0)
        return 0;
    // One probe per index: a stamp of 0 is a slot just made, not a user.
    quint64 &idSlot = m_stampByID[UserID];
    if (idSlot != 0)
        return 0;
    const QString stored = cutNick(UserNick);
    // The duplicate test compares the uncut nick with the stored ones; an
    // uncut nick longer than any stored nick can equal none of them.
    const bool cut = stored.size() != UserNick.size();
    quint64 &nickSlot = m_firstStampByNick[stored];
    if (nickSlot != 0 && !cut) {
        m_stampByID.remove(UserID);
        return 0;
    }

    const quint64 stamp = m_nextStamp++;
    idSlot = stamp;
    if (nickSlot == 0)
        nickSlot = stamp;
    else
        ++m_moreHoldersByNick[stored];
    if (UserType == ccutTeacher)
        m_teacherStamps.insert(stamp);
    m_users.push_back(Entry{stamp, utUser{stored, UserID, UserStatus, AulixUserType(UserType)}});
    return Count();
}

void clsUserList::ReserveUsers(qint32 UserCount)
{
    // A count from the wire may be anything: nothing below the current
    // size, and nothing absurd (a 16-bit ID space of users is plenty).
    const qsizetype room = std::clamp<qsizetype>(UserCount, 0, 1 << 20);
    if (room <= Count())
        return;
    m_users.reserve(size_t(room));
    m_stampByID.reserve(room);
    m_firstStampByNick.reserve(room);
}

void clsUserList::forgetNick(const QString &nick, qsizetype slot)
{
    const quint64 stamp = m_users[size_t(slot)].stamp;
    const auto more = m_moreHoldersByNick.find(nick);
    if (more == m_moreHoldersByNick.end()) {
        m_firstStampByNick.remove(nick);
        return;
    }
    if (--*more == 0)
        m_moreHoldersByNick.erase(more);
    if (m_firstStampByNick.value(nick) != stamp)
        return;
    // The first holder leaves: the next one in roster order takes over.
    for (auto it = m_users.begin() + slot + 1; it != m_users.end(); ++it) {
        if (it->user.UserNick == nick) {
            m_firstStampByNick.insert(nick, it->stamp);
            return;
        }
    }
}

bool clsUserList::RemoveUser(qint32 UserID)
{
    const qsizetype slot = slotOfID(UserID);
    if (slot < 0)
        return false;
    const Entry &entry = m_users[size_t(slot)];
    m_stampByID.remove(UserID);
    forgetNick(entry.user.UserNick, slot);
    m_teacherStamps.erase(entry.stamp);
    m_users.erase(m_users.begin() + slot);
    return true;
}

bool clsUserList::RemoveAllUsers()
{
    if (m_users.empty())
        return false;
    // The next full user list is usually about as long as this one: keep
    // the room, so refilling neither rehashes nor reallocates.
    const qsizetype room = m_stampByID.size();
    m_users.clear();
    m_stampByID.clear();
    m_stampByID.reserve(room);
    m_firstStampByNick.clear();
    m_firstStampByNick.reserve(room);
    m_moreHoldersByNick.clear();
    m_teacherStamps.clear();
    return true;
}

qint32 clsUserList::FindUserByID(qint32 UserID) const
{
    const qsizetype slot = slotOfID(UserID);
    return slot < 0 ? 0 : qint32(slot + 1);
}

qint32 clsUserList::FindUserByName(const QString &UserNick) const
{
    // A scan meets the reserved entry first.
    if (UserNick == EveryoneNick)
        return 0;
    const auto it = m_firstStampByNick.constFind(UserNick);
    if (it == m_firstStampByNick.cend())
        return 0;
    const qsizetype slot = slotOfStamp(it.value());
    return slot < 0 ? 0 : qint32(slot + 1);
}

qint32 clsUserList::GetUserIDByName(const QString &UserNick) const
{
    return GetUserID(FindUserByName(UserNick));
}

QString clsUserList::GetUserNameByID(qint32 UserID) const
{
    return GetUserNick(FindUserByID(UserID));
}

qint32 clsUserList::GetUserID(qint32 Index) const
{
    if (Index < 1 || Index > Count())
        return 0;
    return m_users[size_t(Index - 1)].user.UserID;
}

QString clsUserList::GetUserNick(qint32 Index) const
{
    if (Index < 1 || Index > Count())
        return {};
    return m_users[size_t(Index - 1)].user.UserNick;
}

utUser clsUserList::GetUser(qint32 Index) const
{
    if (Index < 1 || Index > Count())
        return {};
    return m_users[size_t(Index - 1)].user;
}

bool clsUserList::SetUserStatus(qint32 UserID, quint8 UserStatus)
{
    const qsizetype slot = slotOfID(UserID);
    if (slot < 0)
        return false;
    m_users[size_t(slot)].user.UserStatus = UserStatus;
    return true;
}

bool clsUserList::SetUserType(qint32 UserID, quint8 UserType)
{
    const qsizetype slot = slotOfID(UserID);
    if (slot < 0)
        return false;
    Entry &entry = m_users[size_t(slot)];
    entry.user.UserType = AulixUserType(UserType);
    if (UserType == ccutTeacher)
        m_teacherStamps.insert(entry.stamp);
    else
        m_teacherStamps.erase(entry.stamp);
    return true;
}

std::optional<bool> clsUserList::SetUserStatusEx(
    qint32 UserID, UserStatusMaskType MaskType, cStatus Value)
{
    // A mask type that names no field is the caller's mistake: refuse it
    // whether or not the user is present, so it cannot go unnoticed.
    if (MaskType < mtRaise || MaskType > mtPrepareBusyFree)
        return std::nullopt;
    const qsizetype slot = slotOfID(UserID);
    if (slot < 0)
        return false;
    quint8 &status = m_users[size_t(slot)].user.UserStatus;
    status = *SetBitStatus(status, MaskType, Value);
    return true;
}

quint8 clsUserList::GetUserStatus(qint32 UserID) const
{
    const qsizetype slot = slotOfID(UserID);
    return slot < 0 ? 0 : m_users[size_t(slot)].user.UserStatus;
}

quint8 clsUserList::GetUserType(qint32 UserID) const
{
    const qsizetype slot = slotOfID(UserID);
    return slot < 0 ? 0 : quint8(m_users[size_t(slot)].user.UserType);
}

StatusResultType clsUserList::GetUserStatusEx(qint32 UserID, UserStatusMaskType MaskType) const
{
    const qsizetype slot = slotOfID(UserID);
    if (slot < 0)
        return StatusResultType(0);
    return CheckStatus(MaskType, m_users[size_t(slot)].user.UserStatus);
}

qint32 clsUserList::FindTeacherID() const
{
    if (m_teacherStamps.empty())
        return 0;
    const qsizetype slot = slotOfStamp(*m_teacherStamps.begin());
    return slot < 0 ? 0 : m_users[size_t(slot)].user.UserID;
}

StatusResultType clsUserList::CheckStatus(UserStatusMaskType MaskType, quint8 Status)
{
    switch (MaskType) {
    case mtRaise: return (Status & 0x80) ? srtRaise_Yes : srtRaise_No;
    case mtYesNO:
        switch (Status & 0x60) {
        case 0x60: return srtYes;
        case 0x40: return srtNo;
        default: return srtError; // 00 and 01: not answered
        }
    case mtSpeaking: return (Status & 0x20) ? srtSpeaking_Yes : srtSpeaking_No;
    case mtWhiteBoard: return (Status & 0x10) ? srtWhiteboard_Yes : srtWhiteboard_No;
    case mtEnableNote: return (Status & 0x08) ? srtEnableNote_Yes : srtEnableNote_No;
    case mtEnableSpeak: return (Status & 0x04) ? srtEnableSpeak_Yes : srtEnableSpeak_No;
    case mtPrepareBusyFree:
        switch (Status & 0x03) {
        case 3: return srtPrepare;
        case 2: return srtBusy;
        case 1: return srtFree;
        default: return srtError;
        }
    case mtOK: break;
    }
    return srtError;
}

std::optional<quint8> clsUserList::SetBitStatus(
    quint8 Status, UserStatusMaskType MaskType, cStatus Value)
{
    const int b = Status;
    int result = 0; // a value the field does not accept clears every bit
    switch (MaskType) {
    case mtRaise:
        if (Value == csRaise_Yes)
            result = b | 0x80;
        else if (Value == csRaise_No)
            result = b & 0x7F;
        break;
    case mtYesNO:
        if (Value == csYes)
            result = b | 0x60;
        else if (Value == csNo)
            result = (b & 0xDF) | 0x40;
        break;
    case mtSpeaking:
        if (Value == csSpeaking_Yes)
            result = b | 0x20;
        else if (Value == csSpeaking_No)
            result = b & 0xDF;
        break;
    case mtWhiteBoard:
        if (Value == csWhiteboard_Yes)
            result = b | 0x10;
        else if (Value == csWhiteboard_No)
            result = b & 0xEF;
        break;
    case mtEnableNote:
        if (Value == csEnableNote_Yes)
            result = b | 0x08;
        else if (Value == csEnableNote_No)
            result = b & 0xF7;
        break;
    case mtEnableSpeak:
        if (Value == csEnableSpeake_Yes)
            result = b | 0x04;
        else if (Value == csEnableSpeake_No)
            result = b & 0xFB;
        break;
    case mtPrepareBusyFree:
        if (Value == csFree)
            result = (b & 0xFD) | 0x01;
        else if (Value == csBusy)
            result = (b & 0xFE) | 0x02;
        else if (Value == csPrepare)
            result = b | 0x03;
        break;
    default: return std::nullopt;
    }
    return quint8(result);
}
