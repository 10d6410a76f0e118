#pragma once

#include "controls/notesmanage/lumonoteuserlist_export.h"

#include "controls/userlist/liveranks.h"
#include "controls/userlist/slotindex.h"

#include <QHash>
#include <QString>

#include <set>
#include <vector>

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

    qint32 Count() const { return qint32(m_entries.size() - 1 - size_t(m_ranks.holes())); }
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
    // A slot of m_entries; 0 is the everybody entry and means "none" in
    // the indexes.
    using Slot = quint32;
    struct Entry {
        QString nick;
        qint32 id = 0; // 0 in a hole left by a removal
        // The nick's hash: a departure finds its entry without reading the
        // nick (in the padding: still 32 bytes).
        quint32 nickHash = 0;
    };

    Slot slotAt(qint32 Index) const;
    const QString &nickOf(Slot slot) const { return m_entries[slot].nick; }
    // Closes the holes; the indexes follow the recipients to their slots.
    void closeHoles();

    // A flood of departures from a large class must not cost a scan each:
    // a removal leaves a hole, and a position is the rank of a live slot.
    std::vector<Entry> m_entries;
    LiveRanks m_ranks;
    SlotIndex::IdSlots m_slotByID;
    SlotIndex::NickHolders m_nicks;
};
