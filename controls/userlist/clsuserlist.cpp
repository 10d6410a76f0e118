#include "controls/userlist/clsuserlist.h"

#include <algorithm>
#include <bit>

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
    // One probe per index: a slot of 0 is an entry just made, not a user.
    Slot &idSlot = m_slotByID[UserID];
    if (idSlot != 0)
        return 0;
    const QString stored = cutNick(UserNick);
    // The duplicate test compares the uncut nick with the stored ones; an
    // uncut nick longer than any stored nick can equal none of them.
    const bool cut = stored.size() != UserNick.size();
    reserveNicks(m_nickCount + 1);
    const quint32 hash = nickHash(stored);
    NickEntry &nickEntry = m_nickTable[nickAt(stored, hash)];
    if (nickEntry.slot != 0 && !cut) {
        m_slotByID.remove(UserID);
        return 0;
    }

    const Slot slot = Slot(m_slots.size());
    idSlot = slot;
    if (nickEntry.slot == 0) {
        nickEntry = {hash, slot};
        ++m_nickCount;
    } else {
        std::set<Slot> &later = m_moreHoldersByNick[stored];
        later.insert(later.end(), slot);
    }
    if (UserType == ccutTeacher)
        m_teacherSlots.insert(m_teacherSlots.end(), slot);
    m_slots.push_back(utUser{stored, UserID, UserStatus, AulixUserType(UserType)});
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
    reserveNicks(room);
}

quint32 clsUserList::nickHash(const QString &nick)
{
    return quint32(qHash(nick, 0));
}

size_t clsUserList::nickAt(const QString &nick, quint32 hash) const
{
    const size_t mask = m_nickTable.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const NickEntry &entry = m_nickTable[at];
        if (entry.slot == 0 || (entry.hash == hash && m_slots[entry.slot].UserNick == nick))
            return at;
    }
}

clsUserList::Slot clsUserList::firstSlotOfNick(const QString &nick) const
{
    if (m_nickTable.empty())
        return 0;
    return m_nickTable[nickAt(nick, nickHash(nick))].slot;
}

void clsUserList::dropNickEntry(size_t at)
{
    // Backward shift: every later entry of the run that may sit in the
    // freed one moves up, so lookups never meet a gap before their nick.
    const size_t mask = m_nickTable.size() - 1;
    size_t hole = at;
    for (size_t next = (hole + 1) & mask; m_nickTable[next].slot != 0; next = (next + 1) & mask) {
        const size_t home = m_nickTable[next].hash & mask;
        if (((next - home) & mask) >= ((next - hole) & mask)) {
            m_nickTable[hole] = m_nickTable[next];
            hole = next;
        }
    }
    m_nickTable[hole] = {};
    --m_nickCount;
}

void clsUserList::reserveNicks(qsizetype count)
{
    if (qsizetype(m_nickTable.size()) >= 2 * count)
        return;
    rebuildNicks(std::bit_ceil(size_t(std::max<qsizetype>(16, 2 * count))));
}

void clsUserList::rebuildNicks(size_t size)
{
    std::vector<NickEntry> old(size);
    old.swap(m_nickTable);
    const size_t mask = size - 1;
    for (const NickEntry &entry : old) {
        if (entry.slot == 0)
            continue;
        size_t at = entry.hash & mask;
        while (m_nickTable[at].slot != 0)
            at = (at + 1) & mask;
        m_nickTable[at] = entry;
    }
}

void clsUserList::forgetNick(const QString &nick, Slot slot)
{
    const size_t at = nickAt(nick, nickHash(nick));
    const auto more = m_moreHoldersByNick.find(nick);
    if (more == m_moreHoldersByNick.end()) {
        dropNickEntry(at);
        return;
    }
    std::set<Slot> &later = more.value();
    Slot &first = m_nickTable[at].slot;
    if (first == slot) {
        // The first holder leaves: the next one in roster order takes over.
        first = *later.begin();
        later.erase(later.begin());
    } else {
        later.erase(slot);
    }
    if (later.empty())
        m_moreHoldersByNick.erase(more);
}

bool clsUserList::RemoveUser(qint32 UserID)
{
    const Slot slot = slotOfID(UserID);
    if (slot == 0)
        return false;
    m_slotByID.remove(UserID);
    forgetNick(m_slots[slot].UserNick, slot);
    m_teacherSlots.erase(slot);
    if (slot == m_slots.size() - 1) {
        // The last one leaves no hole: nobody after it moves.
        m_slots.pop_back();
        m_ranks.droppedLast(qsizetype(slot));
    } else {
        m_slots[slot] = utUser{};
        m_ranks.punched(qsizetype(slot), qsizetype(m_slots.size()),
            [this](qsizetype i) { return m_slots[size_t(i)].UserID != 0; });
    }
    if (m_ranks.holes() > Count())
        closeHoles();
    return true;
}

void clsUserList::closeHoles()
{
    const std::vector<Slot> moved
        = LiveSlots::closeHoles(m_slots, [](const utUser &user) { return user.UserID != 0; });
    // Going through a table costs its capacity, which never shrinks by
    // itself: after a flood it would dwarf the class and every later close.
    if (m_slotByID.capacity() > 8 * m_slotByID.size())
        m_slotByID.squeeze();
    for (Slot &slot : m_slotByID)
        slot = moved[slot];
    for (std::set<Slot> &later : m_moreHoldersByNick)
        LiveSlots::rename(later, moved);
    for (NickEntry &entry : m_nickTable) {
        if (entry.slot != 0)
            entry.slot = moved[entry.slot];
    }
    if (m_nickTable.size() > 16 * size_t(std::max<qsizetype>(m_nickCount, 8)))
        rebuildNicks(std::bit_ceil(size_t(std::max<qsizetype>(16, 2 * m_nickCount))));
    LiveSlots::rename(m_teacherSlots, moved);
    m_ranks.reset();
}

bool clsUserList::RemoveAllUsers()
{
    if (Count() == 0)
        return false;
    // The next full user list is usually about as long as this one: keep
    // the room, so refilling neither rehashes nor reallocates.
    const qsizetype room = m_slotByID.size();
    m_slots.resize(1);
    m_ranks.reset();
    m_slotByID.clear();
    m_slotByID.reserve(room);
    std::fill(m_nickTable.begin(), m_nickTable.end(), NickEntry{});
    m_nickCount = 0;
    m_moreHoldersByNick.clear();
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
    return m_slots[slotAt(Index)];
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
    m_slots[slot].UserType = AulixUserType(UserType);
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
    return quint8(m_slots[slotOfID(UserID)].UserType);
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
