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
    const quint32 hash = SlotIndex::NickSlots::hashOf(UserNick);
    m_nicks.prepareArrival(hash);
    const Slot slot = Slot(m_entries.size());
    if (!m_slotByID.insert(UserID, slot))
        return 0;
    const auto nickOf = [this](Slot held) -> const QString & { return this->nickOf(held); };
    m_nicks.arrived(UserNick, hash, slot, m_nicks.first(UserNick, hash, nickOf));
    m_entries.push_back({UserNick, UserID, hash});
    m_ranks.appended(qsizetype(m_entries.size()));
    return Count();
}

qint32 clsNoteUserList::RemoveUser(qint32 UserID)
{
    if (UserID <= 0)
        return 0;
    const Slot slot = m_slotByID.take(UserID);
    if (slot == 0)
        return 0;
    // The nick's entry is the one miss of a departure in a large class: it
    // loads while the slot is emptied.
    const quint32 hash = m_entries[slot].nickHash;
    m_nicks.prefetch(hash);
    m_nicks.finishLeaving();
    const qint32 position = qint32(m_ranks.positionOf(slot));
    const QString nick = std::move(m_entries[slot].nick);
    const bool last = slot == m_entries.size() - 1;
    if (last) {
        // The last one leaves no hole: nobody after it moves.
        m_entries.pop_back();
        m_ranks.droppedLast(qsizetype(slot));
    } else {
        m_entries[slot] = Entry{};
        m_ranks.punched(qsizetype(slot), qsizetype(m_entries.size()),
            [this](qsizetype i) { return m_entries[size_t(i)].id != 0; });
    }
    m_nicks.left(nick, hash, slot, last);
    if (m_ranks.holes() > Count())
        closeHoles();
    return position;
}

void clsNoteUserList::closeHoles()
{
    m_nicks.finishLeaving();
    const LiveRanks::Ranking rename(m_ranks);
    LiveSlots::closeHoles(m_entries, [](const auto &entry) { return entry.id != 0; });
    m_slotByID.renameAll(rename);
    m_nicks.renameAll(rename);
    m_ranks.reset();
}

bool clsNoteUserList::RemoveAllUsers()
{
    if (Count() == 0)
        return false;
    m_entries.resize(1);
    m_ranks.reset();
    m_slotByID.clear();
    m_nicks.clear();
    return true;
}

qint32 clsNoteUserList::GetUserByName(const QString &UserNick) const
{
    // A scan would meet the everybody entry first, which answers like a
    // miss.
    if (UserNick == EveryoneNick)
        return 0;
    // The entry of a departure not yet dropped names a hole, whose ID is 0.
    return m_entries[m_nicks.first(UserNick, [this](Slot held) -> const QString & {
        return nickOf(held);
    })].id;
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
