#include "controls/notesmanage/clsnoteuserlist.h"

using namespace Qt::StringLiterals;

const QString clsNoteUserList::EveryoneNick = u"所有人"_s;

clsNoteUserList::clsNoteUserList()
{
    m_entries.push_back({EveryoneNick, 0});
}

clsNoteUserList::Slot clsNoteUserList::slotAt(qint32 Index) const
{
    return Index < 1 || Index > Count() ? 0 : Slot(m_ranks.slotAt(Index));
}

qint32 clsNoteUserList::AddUser(qint32 UserID, const QString &UserNick)
{
    if (UserID <= 0)
        return 0;
    Slot &idSlot = m_slotByID[UserID];
    if (idSlot != 0)
        return 0;
    const Slot slot = Slot(m_entries.size());
    idSlot = slot;
    std::set<Slot> &holders = m_slotsByNick[UserNick];
    holders.insert(holders.end(), slot);
    m_entries.push_back({UserNick, UserID});
    m_ranks.appended(qsizetype(m_entries.size()));
    return Count();
}

qint32 clsNoteUserList::RemoveUser(qint32 UserID)
{
    const qint32 position = FindUserByID(UserID);
    if (position == 0)
        return 0;
    const Slot slot = m_slotByID.take(UserID);
    const auto holders = m_slotsByNick.find(m_entries[slot].nick);
    holders->erase(slot);
    if (holders->empty())
        m_slotsByNick.erase(holders);
    if (slot == m_entries.size() - 1) {
        // The last one leaves no hole: nobody after it moves.
        m_entries.pop_back();
        m_ranks.droppedLast();
    } else {
        m_entries[slot] = Entry{};
        m_ranks.punched(qsizetype(slot), qsizetype(m_entries.size()),
            [this](qsizetype i) { return m_entries[size_t(i)].id != 0; });
    }
    if (m_ranks.holes() > Count())
        closeHoles();
    return position;
}

void clsNoteUserList::closeHoles()
{
    std::vector<Slot> moved(m_entries.size(), 0);
    Slot next = 1;
    for (size_t slot = 1; slot < m_entries.size(); ++slot) {
        if (m_entries[slot].id == 0)
            continue;
        moved[slot] = next;
        if (next != slot)
            m_entries[next] = std::move(m_entries[slot]);
        ++next;
    }
    m_entries.resize(next);
    for (Slot &slot : m_slotByID)
        slot = moved[slot];
    for (std::set<Slot> &holders : m_slotsByNick) {
        std::set<Slot> renamed;
        for (const Slot slot : holders)
            renamed.insert(renamed.end(), moved[slot]);
        holders.swap(renamed);
    }
    m_ranks.reset();
}

bool clsNoteUserList::RemoveAllUsers()
{
    if (Count() == 0)
        return false;
    m_entries.resize(1);
    m_ranks.reset();
    m_slotByID.clear();
    m_slotsByNick.clear();
    return true;
}

qint32 clsNoteUserList::GetUserByName(const QString &UserNick) const
{
    // A scan would meet the everybody entry first, which answers like a
    // miss.
    if (UserNick == EveryoneNick)
        return 0;
    const auto holders = m_slotsByNick.constFind(UserNick);
    return holders == m_slotsByNick.cend() ? 0 : m_entries[*holders->begin()].id;
}

QString clsNoteUserList::GetUserByID(qint32 UserID) const
{
    const Slot slot = UserID <= 0 ? 0 : m_slotByID.value(UserID);
    return slot == 0 ? QString() : m_entries[slot].nick;
}

qint32 clsNoteUserList::GetUserID(qint32 Index) const
{
    return m_entries[slotAt(Index)].id;
}

QString clsNoteUserList::GetUserNick(qint32 Index) const
{
    const Slot slot = slotAt(Index);
    return slot == 0 ? QString() : m_entries[slot].nick;
}

qint32 clsNoteUserList::FindUserByID(qint32 UserID) const
{
    if (UserID <= 0)
        return 0;
    const Slot slot = m_slotByID.value(UserID);
    return slot == 0 ? 0 : qint32(m_ranks.positionOf(slot));
}
