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

clsUserList::clsUserList()
    : m_slots(1) // the reserved entry
{ }

clsUserList::~clsUserList() = default;

clsUserList::Slot clsUserList::slotOfID(qint32 UserID) const
{
    // IDs of 0 or less are never added; ID 0 would only find the reserved
    // entry, which answers like a miss.
    if (UserID <= 0)
        return 0;
    return m_slotByID.value(UserID);
}

clsUserList::Slot clsUserList::slotAt(qint32 Index) const
{
    if (Index < 1 || Index > Count())
        return 0;
    return Slot(m_ranks.slotAt(Index));
}

qint32 clsUserList::AddUser(
    qint32 UserID, const QString &UserNick, quint8 UserStatus, quint8 UserType)
{
    if (UserID <= 0)
        return 0;
    const QString stored = cutNick(UserNick);
    const quint32 hash = SlotIndex::NickSlots::hashOf(stored);
    // The nick's line is a miss in a large class; let it load while the ID
    // is looked up.
    m_nicks.prepareArrival(hash);
    if (m_slotByID.value(UserID) != 0)
        return 0;
    // The duplicate test compares the uncut nick with the stored ones; an
    // uncut nick longer than any stored nick can equal none of them.
    const bool cut = stored.size() != UserNick.size();
    const auto nickOf = [this](Slot slot) -> const QString & { return this->nickOf(slot); };
    const Slot firstHolder = m_nicks.first(stored, hash, nickOf);
    if (firstHolder != 0 && !cut)
        return 0;

    const Slot slot = Slot(m_slots.size());
    m_slotByID.insert(UserID, slot);
    m_nicks.arrived(stored, hash, slot, firstHolder);
    if (UserType == ccutTeacher)
        m_teacherSlots.insert(m_teacherSlots.end(), slot);
    m_slots.push_back(Held{stored, UserID, hash, UserStatus, UserType});
    m_ranks.appended(qsizetype(m_slots.size()));
    return Count();
}

void clsUserList::ReserveUsers(qint32 UserCount)
{
    // A count from the wire may be anything: nothing below the current
    // size, and nothing absurd (a 16-bit ID space of users is plenty).
    const qsizetype room = std::clamp<qsizetype>(UserCount, 0, 1 << 20);
    if (room <= Count())
        return;
    m_slots.reserve(size_t(room) + 1 + size_t(m_ranks.holes()));
    m_slotByID.reserve(room);
    m_nicks.reserve(room);
}

clsUserList::Slot clsUserList::firstSlotOfNick(const QString &nick) const
{
    return m_nicks.first(nick, [this](Slot held) -> const QString & { return nickOf(held); });
}

bool clsUserList::RemoveUser(qint32 UserID)
{
    if (UserID <= 0)
        return false;
    const Slot slot = m_slotByID.take(UserID);
    if (slot == 0)
        return false;
    // The nick's entry is the one miss of a departure in a large class: it
    // loads while the slot is emptied.
    const quint32 hash = m_slots[slot].nickHash;
    m_nicks.prefetch(hash);
    m_nicks.finishLeaving();
    const QString nick = std::move(m_slots[slot].UserNick);
    if (!m_teacherSlots.empty())
        m_teacherSlots.erase(slot);
    const bool last = slot == m_slots.size() - 1;
    if (last) {
        // The last one leaves no hole: nobody after it moves.
        m_slots.pop_back();
        m_ranks.droppedLast(qsizetype(slot));
    } else {
        m_slots[slot] = Held{};
        m_ranks.punched(qsizetype(slot), qsizetype(m_slots.size()),
            [this](qsizetype i) { return m_slots[size_t(i)].UserID != 0; });
    }
    m_nicks.left(nick, hash, slot, last);
    if (m_ranks.holes() > Count())
        closeHoles();
    return true;
}

void clsUserList::closeHoles()
{
    m_nicks.finishLeaving();
    const LiveRanks::Ranking rename(m_ranks);
    LiveSlots::closeHoles(m_slots, [](const Held &user) { return user.UserID != 0; });
    m_slotByID.renameAll(rename);
    m_nicks.renameAll(rename);
    LiveSlots::rename(m_teacherSlots, rename);
    m_ranks.reset();
}

bool clsUserList::RemoveAllUsers()
{
    if (Count() == 0)
        return false;
    // The tables keep their room: the next full user list is usually about
    // as long as this one, and refilling neither rehashes nor reallocates.
    m_slots.resize(1);
    m_ranks.reset();
    m_slotByID.clear();
    m_nicks.clear();
    m_teacherSlots.clear();
    return true;
}

qint32 clsUserList::FindUserByID(qint32 UserID) const
{
    const Slot slot = slotOfID(UserID);
    return slot == 0 ? 0 : positionOf(slot);
}

qint32 clsUserList::FindUserByName(const QString &UserNick) const
{
    // A scan meets the reserved entry first.
    if (UserNick == EveryoneNick)
        return 0;
    const Slot slot = firstSlotOfNick(UserNick);
    return slot == 0 ? 0 : positionOf(slot);
}

qint32 clsUserList::GetUserIDByName(const QString &UserNick) const
{
    return GetUserID(FindUserByName(UserNick));
}

QString clsUserList::GetUserNameByID(qint32 UserID) const
{
    return m_slots[slotOfID(UserID)].UserNick;
}

qint32 clsUserList::GetUserID(qint32 Index) const
{
    return m_slots[slotAt(Index)].UserID;
}

QString clsUserList::GetUserNick(qint32 Index) const
{
    return m_slots[slotAt(Index)].UserNick;
}

utUser clsUserList::GetUser(qint32 Index) const
{
    const Held &user = m_slots[slotAt(Index)];
    return utUser{user.UserNick, user.UserID, user.UserStatus, AulixUserType(user.UserType)};
}

bool clsUserList::SetUserStatus(qint32 UserID, quint8 UserStatus)
{
    const Slot slot = slotOfID(UserID);
    if (slot == 0)
        return false;
    m_slots[slot].UserStatus = UserStatus;
    return true;
}

bool clsUserList::SetUserType(qint32 UserID, quint8 UserType)
{
    const Slot slot = slotOfID(UserID);
    if (slot == 0)
        return false;
    m_slots[slot].UserType = UserType;
    if (UserType == ccutTeacher)
        m_teacherSlots.insert(slot);
    else
        m_teacherSlots.erase(slot);
    return true;
}

std::optional<bool> clsUserList::SetUserStatusEx(
    qint32 UserID, UserStatusMaskType MaskType, cStatus Value)
{
    // A mask type that names no field is the caller's mistake: refuse it
    // whether or not the user is present, so it cannot go unnoticed.
    if (MaskType < mtRaise || MaskType > mtPrepareBusyFree)
        return std::nullopt;
    const Slot slot = slotOfID(UserID);
    if (slot == 0)
        return false;
    quint8 &status = m_slots[slot].UserStatus;
    status = *SetBitStatus(status, MaskType, Value);
    return true;
}

quint8 clsUserList::GetUserStatus(qint32 UserID) const
{
    return m_slots[slotOfID(UserID)].UserStatus;
}

quint8 clsUserList::GetUserType(qint32 UserID) const
{
    return m_slots[slotOfID(UserID)].UserType;
}

StatusResultType clsUserList::GetUserStatusEx(qint32 UserID, UserStatusMaskType MaskType) const
{
    const Slot slot = slotOfID(UserID);
    if (slot == 0)
        return StatusResultType(0);
    return CheckStatus(MaskType, m_slots[slot].UserStatus);
}

qint32 clsUserList::FindTeacherID() const
{
    return m_teacherSlots.empty() ? 0 : m_slots[*m_teacherSlots.begin()].UserID;
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
