#pragma once

#include "controls/userlist/liveranks.h"

#include <QHash>
#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <bit>
#include <set>
#include <vector>

// Flat indexes from a user's ID and nick to the slot of an array of users,
// for the roster and the note recipients. Slot 0 means "none".
//
// Both are open-addressing tables of 8-byte entries, linear probing, at most
// seven eighths full, backward-shift removal: one cache line a lookup,
// where a QHash touches its span, its offsets and its entries. A class of
// ten thousand is filled, searched and emptied in bursts, and what grows
// with the class is cache misses, not instructions.
//
// Runs are kept in order of home (an entry further from its home takes the
// place of one nearer to its own, "Robin Hood"): a removal then moves back
// only the entries after it that are not at home, and stops at the first
// that is, where plain linear probing would have to read on to the end of
// the run. In a table seven eighths full that end is often lines away.
//
// Each table keeps the longest distance any entry was placed from its home.
// Removals only move entries closer, so no entry lies further: a lookup
// gives up after that many steps, even inside a run that spans the whole
// class.
namespace SlotIndex {

using Slot = quint32;

// A table's size for `count` entries: a power of two, at most seven eighths
// full. A lookup then still reads one or two lines; an emptier table only
// spreads a large class over more lines (and, past the allocator's
// threshold, fresh pages), and with powers of two ten times the class would
// often mean sixteen times the table.
inline size_t roomFor(qsizetype count)
{
    return std::bit_ceil(size_t(std::max<qsizetype>(16, (8 * count + 6) / 7)));
}

// The open-addressing table both indexes share. `Entry` has a `slot` (0 for
// a free entry); `home(entry, mask)` gives the place an entry belongs.
template <typename Entry> class Probed
{
public:
    qsizetype size() const { return m_count; }
    bool empty() const { return m_table.empty(); }
    size_t mask() const { return m_table.size() - 1; }
    size_t longest() const { return m_longest; }
    Entry &at(size_t i) { return m_table[i]; }
    const Entry &at(size_t i) const { return m_table[i]; }

    // Room for `count` entries in all, made before they come (the host
    // knows the class's size): up to seven eighths full.
    template <typename Home> void plan(qsizetype count, Home home)
    {
        m_planned = std::max(m_planned, count);
        if (7 * qsizetype(m_table.size()) < 8 * count)
            rebuild(roomFor(count), home);
    }
    // Room for one more entry as it comes. Beyond the planned room the
    // table doubles past three quarters full: an unplanned fill would
    // otherwise spend its last stretch before each doubling in long runs.
    template <typename Home> void roomForOneMore(Home home)
    {
        const qsizetype count = m_count + 1;
        if (count <= m_planned || 4 * count <= 3 * qsizetype(m_table.size()))
            return;
        rebuild(std::max(roomFor(count), 2 * m_table.size()), home);
    }

    // Puts the entry into the run from its home `start`; room must have
    // been made. Met by an entry nearer to its own home, the new one takes
    // that place and the one it displaced walks on.
    template <typename Home> void insert(size_t start, Entry entry, Home home)
    {
        const size_t mask = this->mask();
        size_t distance = 0;
        for (size_t i = start;; i = (i + 1) & mask, ++distance) {
            Entry &here = m_table[i];
            if (here.slot == 0) {
                here = entry;
                ++m_count;
                m_longest = std::max(m_longest, distance);
                return;
            }
            const size_t theirs = (i - home(here, mask)) & mask;
            if (theirs < distance) {
                m_longest = std::max(m_longest, distance);
                std::swap(here, entry);
                distance = theirs;
            }
        }
    }

    template <typename Home> void drop(size_t i, Home home)
    {
        // Backward shift: the run is in order of home, so every later entry
        // that is not at home moves one back, and the first one at home
        // (or the end of the run) ends the shift.
        const size_t mask = this->mask();
        size_t hole = i;
        for (size_t next = (hole + 1) & mask;
             m_table[next].slot != 0 && home(m_table[next], mask) != next;
             next = (next + 1) & mask) {
            m_table[hole] = m_table[next];
            hole = next;
        }
        m_table[hole] = {};
        --m_count;
    }

    // Empty, with the room kept.
    void clear()
    {
        std::fill(m_table.begin(), m_table.end(), Entry{});
        m_count = 0;
        m_longest = 0;
    }

    // The entries, moved into a table of `size` entries by `home`.
    template <typename Home> void rebuild(size_t size, Home home)
    {
        std::vector<Entry> old(size);
        old.swap(m_table);
        m_count = 0;
        m_longest = 0;
        const size_t mask = size - 1;
        for (const Entry &entry : old) {
            if (entry.slot != 0)
                insert(home(entry, mask), entry, home);
        }
    }

    // Every slot renamed (after the owner closed its holes). A table left
    // much larger than its content by a flood of removals shrinks, so that
    // later renames do not walk the flood's size.
    template <typename Rename, typename Home> void renameAll(const Rename &rename, Home home)
    {
        for (Entry &entry : m_table) {
            if (entry.slot != 0)
                entry.slot = rename(entry.slot);
        }
        if (m_table.size() > 16 * size_t(std::max<qsizetype>(m_count, 8))) {
            m_planned = 0;
            rebuild(roomFor(m_count), home);
        }
    }

private:
    std::vector<Entry> m_table;
    qsizetype m_count = 0;
    size_t m_longest = 0;
    qsizetype m_planned = 0;
};

// Slots by user ID. Servers hand out IDs in runs, and a full user list or a
// crowd leaving comes in about that order: the table first places an ID at
// its own value (masked), so such a burst walks the table in memory order.
// IDs that crowd one place (multiples of the table size, say) would make the
// runs long; the first insert that cannot land within MaxProbe of its home
// switches the table to a seeded mixing hash for good, where runs are short
// whatever the IDs.
class IdSlots
{
public:
    qsizetype size() const { return m_table.size(); }

    Slot value(qint32 id) const
    {
        const size_t at = find(id);
        return at == NotFound ? 0 : m_table.at(at).slot;
    }

    // False (and nothing changes) when the ID is present already.
    bool insert(qint32 id, Slot slot)
    {
        m_table.roomForOneMore(homeOf());
        if (find(id) != NotFound)
            return false;
        for (;;) {
            const size_t mask = m_table.mask();
            const size_t start = home(id, mask);
            size_t distance = 0;
            while (m_table.at((start + distance) & mask).slot != 0)
                ++distance;
            // The run from the ID's home to the first free entry bounds how
            // far any entry of it lands.
            if (m_mixed || distance <= MaxProbe) {
                m_table.insert(start, {id, slot}, homeOf());
                return true;
            }
            m_mixed = true;
            m_table.rebuild(mask + 1, homeOf());
        }
    }

    // The ID's slot, now forgotten; 0 when absent.
    Slot take(qint32 id)
    {
        const size_t at = find(id);
        if (at == NotFound)
            return 0;
        const Slot slot = m_table.at(at).slot;
        m_table.drop(at, homeOf());
        return slot;
    }

    // Room for `count` IDs in all.
    void reserve(qsizetype count) { m_table.plan(count, homeOf()); }

    // Empty, with the room kept: the next full user list is usually about
    // as long as the last.
    void clear() { m_table.clear(); }

    template <typename Rename> void renameAll(const Rename &rename)
    {
        m_table.renameAll(rename, homeOf());
    }

private:
    struct Entry {
        qint32 id = 0;
        Slot slot = 0;
    };
    static constexpr size_t MaxProbe = 32;
    static constexpr size_t NotFound = ~size_t(0);

    size_t home(qint32 id, size_t mask) const
    {
        if (!m_mixed)
            return size_t(quint32(id)) & mask;
        return size_t(qHash(quint32(id), m_seed)) & mask;
    }
    struct HomeOf {
        const IdSlots *table;
        size_t operator()(const Entry &entry, size_t mask) const
        {
            return table->home(entry.id, mask);
        }
    };
    HomeOf homeOf() const { return {this}; }

    size_t find(qint32 id) const
    {
        if (m_table.empty())
            return NotFound;
        const size_t mask = m_table.mask();
        const size_t start = home(id, mask);
        for (size_t distance = 0; distance <= m_table.longest(); ++distance) {
            const Entry &entry = m_table.at((start + distance) & mask);
            if (entry.slot == 0)
                return NotFound;
            if (entry.id == id)
                return (start + distance) & mask;
        }
        return NotFound;
    }

    Probed<Entry> m_table;
    bool m_mixed = false;
    size_t m_seed = QHashSeed::globalSeed();
};

// The first holder of each nick, by the nick's hash, compared with the nick
// in its holder's slot: no copy of the nick. `nickOf(slot)` gives the nick
// in a live slot. Nicks may repeat; the owner keeps the further holders.
class NickSlots
{
public:
    qsizetype size() const { return m_table.size(); }

    static quint32 hashOf(const QString &nick) { return quint32(qHash(nick, 0)); }

    // The first holder of the nick, 0 when none.
    template <typename NickOf> Slot value(const QString &nick, NickOf nickOf) const
    {
        const size_t at = find(nick, hashOf(nick), nickOf);
        return at == NotFound ? 0 : m_table.at(at).slot;
    }
    template <typename NickOf> Slot value(const QString &nick, quint32 hash, NickOf nickOf) const
    {
        const size_t at = find(nick, hash, nickOf);
        return at == NotFound ? 0 : m_table.at(at).slot;
    }

    // Makes `slot` the first holder of a nick that has none; room must have
    // been made for it.
    void insert(quint32 hash, Slot slot)
    {
        m_table.insert(hash & m_table.mask(), {hash, slot}, homeOf);
    }
    // A leaving user's nick, by its hash and the user's slot alone: no nick
    // is read. When `slot` holds the nick first, `next` takes over (0: the
    // nick is gone); answers whether it did.
    bool leave(quint32 hash, Slot slot, Slot next)
    {
        if (m_table.empty())
            return false;
        const size_t mask = m_table.mask();
        for (size_t distance = 0; distance <= m_table.longest(); ++distance) {
            const size_t i = (hash + distance) & mask;
            const Entry &entry = m_table.at(i);
            if (entry.slot == 0 || passed(entry, i, distance, mask))
                return false;
            if (entry.slot == slot && entry.hash == hash) {
                if (next != 0)
                    m_table.at(i).slot = next;
                else
                    m_table.drop(i, homeOf);
                return true;
            }
        }
        return false;
    }

    // Starts loading the line a nick of this hash is looked up in, so that
    // the miss overlaps the owner's other work.
    void prefetch(quint32 hash) const
    {
        if (!m_table.empty())
            __builtin_prefetch(&m_table.at(hash & m_table.mask()));
    }

    void reserve(qsizetype count) { m_table.plan(count, homeOf); }
    // Room for one more nick; before insert().
    void roomForOneMore() { m_table.roomForOneMore(homeOf); }
    void clear() { m_table.clear(); }
    template <typename Rename> void renameAll(const Rename &rename)
    {
        m_table.renameAll(rename, homeOf);
    }

private:
    struct Entry {
        quint32 hash = 0;
        Slot slot = 0;
    };
    static constexpr size_t NotFound = ~size_t(0);
    static constexpr auto homeOf
        = [](const Entry &entry, size_t mask) { return size_t(entry.hash) & mask; };
    // Whether a search `distance` steps from its home that meets `entry` at
    // `i` has passed where its key would be: the runs are in order of home,
    // so an entry nearer to its own home than the search is to its own
    // comes after the key's place. A miss in a full table ends there, not at
    // the end of the run.
    static bool passed(const Entry &entry, size_t i, size_t distance, size_t mask)
    {
        return ((i - homeOf(entry, mask)) & mask) < distance;
    }

    template <typename NickOf> size_t find(const QString &nick, quint32 hash, NickOf nickOf) const
    {
        if (m_table.empty())
            return NotFound;
        const size_t mask = m_table.mask();
        for (size_t distance = 0; distance <= m_table.longest(); ++distance) {
            const size_t i = (hash + distance) & mask;
            const Entry &entry = m_table.at(i);
            if (entry.slot == 0 || passed(entry, i, distance, mask))
                return NotFound;
            if (entry.hash == hash && nickOf(entry.slot) == nick)
                return i;
        }
        return NotFound;
    }

    Probed<Entry> m_table;
};

// Who holds each nick, for a list whose slots are ranked by LiveRanks: the
// first holder in list order answers for the nick; nicks seldom repeat, so
// the further holders sit in a table of their own. The nick entry of the
// last departure is dropped by the next change: its line was prefetched a
// whole departure earlier, so a flood does not wait for each one, and the
// slot is a hole until then, which lookups pass over.
class NickHolders
{
public:
    // The first holder of the nick, 0 when none (or only a departing one).
    template <typename NickOf> Slot first(const QString &nick, NickOf nickOf) const
    {
        const Slot slot = m_first.value(nick, nickOf);
        return slot == m_leavingSlot ? 0 : slot;
    }
    // The same, with the hash known; after finishLeaving().
    template <typename NickOf> Slot first(const QString &nick, quint32 hash, NickOf nickOf) const
    {
        return m_first.value(nick, hash, nickOf);
    }

    // Before an arrival: the last departure's entry goes, and room is made.
    void prepareArrival(quint32 hash)
    {
        finishLeaving();
        m_first.roomForOneMore();
        m_first.prefetch(hash);
    }
    // `slot` (after every slot held) now holds the nick; `firstHolder` is
    // what first() answered for it.
    void arrived(const QString &nick, quint32 hash, Slot slot, Slot firstHolder)
    {
        if (firstHolder == 0) {
            m_first.insert(hash, slot);
            return;
        }
        std::set<Slot> &later = m_more[nick];
        later.insert(later.end(), slot);
    }
    // Before a departure's slot is emptied: its nick's line starts loading.
    void prefetch(quint32 hash) const { m_first.prefetch(hash); }
    // The holder of `slot` has left; `last` when it was the last slot,
    // which the next arrival takes at once.
    void left(const QString &nick, quint32 hash, Slot slot, bool last)
    {
        const auto more = m_more.isEmpty() ? m_more.end() : m_more.find(nick);
        if (more == m_more.end()) {
            // A slot that is gone may be taken by the next arrival: its
            // entry cannot wait.
            if (last) {
                m_first.leave(hash, slot, 0);
            } else {
                m_leavingHash = hash;
                m_leavingSlot = slot;
            }
            return;
        }
        // The next holder in list order answers for the nick when the
        // first leaves.
        std::set<Slot> &later = more.value();
        if (m_first.leave(hash, slot, *later.begin()))
            later.erase(later.begin());
        else
            later.erase(slot);
        if (later.empty())
            m_more.erase(more);
    }
    void finishLeaving()
    {
        if (m_leavingSlot == 0)
            return;
        m_first.leave(m_leavingHash, m_leavingSlot, 0);
        m_leavingSlot = 0;
    }

    void reserve(qsizetype count)
    {
        finishLeaving();
        m_first.reserve(count);
    }
    // After the owner closed its holes (finishLeaving() first).
    template <typename Rename> void renameAll(const Rename &rename)
    {
        m_first.renameAll(rename);
        for (std::set<Slot> &later : m_more)
            LiveSlots::rename(later, rename);
    }
    // The table keeps its room for the next list.
    void clear()
    {
        m_first.clear();
        m_leavingSlot = 0;
        m_more.clear();
    }

private:
    NickSlots m_first;
    QHash<QString, std::set<Slot>> m_more;
    quint32 m_leavingHash = 0;
    Slot m_leavingSlot = 0; // 0 when no entry waits
};

} // namespace SlotIndex
