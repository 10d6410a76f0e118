#pragma once

#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <bit>
#include <vector>

// Flat indexes from a user's ID and nick to the slot of an array of users,
// for the roster and the note recipients. Slot 0 means "none".
//
// Both are open-addressing tables of 8-byte entries, linear probing, at most
// three quarters full, backward-shift removal: one cache line a lookup, where a QHash
// touches its span, its offsets and its entries. A class of ten thousand is
// filled, searched and emptied in bursts, and what grows with the class is
// cache misses, not instructions.
namespace SlotIndex {

using Slot = quint32;

// A table's size for `count` entries: a power of two, at most three
// quarters full. Fuller would lengthen the runs; emptier only spreads a
// large class over more cache lines (and, past the allocator's threshold,
// fresh pages) for nothing.
inline size_t roomFor(qsizetype count)
{
    return std::bit_ceil(size_t(std::max<qsizetype>(16, (4 * count + 2) / 3)));
}

// Slots by user ID. Servers hand out IDs in runs, and a full user list or a
// crowd leaving comes in about that order: the table first places an ID at
// its own value (masked), so such a burst walks the table in memory order.
// IDs that crowd one place (multiples of the table size, say) would make the
// runs long; the first insert that cannot land within MaxProbe of its place
// switches the table to a seeded mixing hash for good, where runs are short
// whatever the IDs. While placed by value every entry is within MaxProbe of
// its place, so a lookup stops there even inside a long run of neighbours.
class IdSlots
{
public:
    qsizetype size() const { return m_count; }

    Slot value(qint32 id) const
    {
        if (m_table.empty())
            return 0;
        const size_t at = find(id);
        return at == NotFound ? 0 : m_table[at].slot;
    }

    // False (and nothing changes) when the ID is present already.
    bool insert(qint32 id, Slot slot)
    {
        reserve(m_count + 1);
        for (;;) {
            const size_t mask = m_table.size() - 1;
            const size_t home = place(id);
            for (size_t distance = 0; m_mixed || distance <= MaxProbe; ++distance) {
                Entry &entry = m_table[(home + distance) & mask];
                if (entry.slot == 0) {
                    entry = {id, slot};
                    ++m_count;
                    return true;
                }
                if (entry.id == id)
                    return false;
            }
            m_mixed = true;
            rebuild(m_table.size());
        }
    }

    // The ID's slot, now forgotten; 0 when absent.
    Slot take(qint32 id)
    {
        if (m_table.empty())
            return 0;
        const size_t at = find(id);
        if (at == NotFound)
            return 0;
        const Slot slot = m_table[at].slot;
        drop(at);
        return slot;
    }

    // Room for `count` IDs without passing three quarters full.
    void reserve(qsizetype count)
    {
        if (3 * qsizetype(m_table.size()) >= 4 * count)
            return;
        rebuild(roomFor(count));
    }

    // Empty, with the room kept: the next full user list is usually about
    // as long as the last.
    void clear()
    {
        std::fill(m_table.begin(), m_table.end(), Entry{});
        m_count = 0;
    }

    // Every slot renamed (after the owner closed its holes); a table left
    // much larger than its content by a flood of removals shrinks, so that
    // later renames do not walk the flood's size.
    template <typename Rename> void renameAll(Rename rename)
    {
        for (Entry &entry : m_table) {
            if (entry.slot != 0)
                entry.slot = rename(entry.slot);
        }
        if (m_table.size() > 16 * size_t(std::max<qsizetype>(m_count, 8)))
            rebuild(roomFor(m_count));
    }

private:
    struct Entry {
        qint32 id = 0;
        Slot slot = 0;
    };
    static constexpr size_t MaxProbe = 32;
    static constexpr size_t NotFound = ~size_t(0);

    size_t place(qint32 id) const
    {
        const size_t mask = m_table.size() - 1;
        if (!m_mixed)
            return size_t(quint32(id)) & mask;
        return size_t(qHash(quint32(id), m_seed)) & mask;
    }

    size_t find(qint32 id) const
    {
        const size_t mask = m_table.size() - 1;
        const size_t home = place(id);
        for (size_t distance = 0; m_mixed || distance <= MaxProbe; ++distance) {
            const Entry &entry = m_table[(home + distance) & mask];
            if (entry.slot == 0)
                return NotFound;
            if (entry.id == id)
                return (home + distance) & mask;
        }
        return NotFound;
    }

    void drop(size_t at)
    {
        // Backward shift: a later entry of the run moves into the hole when
        // its place is not between the hole and itself, so no lookup meets
        // a gap before its ID and no entry moves away from its place. Placed
        // by value, no entry further than MaxProbe past the hole can move
        // into it: the walk ends there, not at the end of a run that may
        // hold the whole class.
        const size_t mask = m_table.size() - 1;
        size_t hole = at;
        for (size_t next = (hole + 1) & mask;
             m_table[next].slot != 0 && (m_mixed || ((next - hole) & mask) <= MaxProbe);
             next = (next + 1) & mask) {
            const size_t home = place(m_table[next].id);
            if (((next - home) & mask) >= ((next - hole) & mask)) {
                m_table[hole] = m_table[next];
                hole = next;
            }
        }
        m_table[hole] = {};
        --m_count;
    }

    void rebuild(size_t size)
    {
        std::vector<Entry> old(size);
        old.swap(m_table);
        m_count = 0;
        for (const Entry &entry : old) {
            if (entry.slot != 0)
                insert(entry.id, entry.slot);
        }
    }

    std::vector<Entry> m_table;
    qsizetype m_count = 0;
    bool m_mixed = false;
    size_t m_seed = QHashSeed::globalSeed();
};

// The first holder of each nick, by the nick's hash, compared with the nick
// in its holder's slot: no copy of the nick. `NickOf` gives the nick in a
// live slot. Nicks may repeat; the owner keeps the further holders.
class NickSlots
{
public:
    qsizetype size() const { return m_count; }

    static quint32 hashOf(const QString &nick) { return quint32(qHash(nick, 0)); }

    // The first holder of the nick, 0 when none.
    template <typename NickOf> Slot value(const QString &nick, NickOf nickOf) const
    {
        if (m_table.empty())
            return 0;
        return m_table[at(nick, hashOf(nick), nickOf)].slot;
    }

    // The nick's entry: its first holder, or a free entry (slot 0) that
    // setFirst() fills. Valid until the next change of the table; make room
    // first.
    template <typename NickOf>
    size_t entryOf(const QString &nick, quint32 hash, NickOf nickOf) const
    {
        return at(nick, hash, nickOf);
    }
    Slot firstAt(size_t entry) const { return m_table[entry].slot; }
    // Starts loading the line a nick of this hash is looked up in, so that
    // the miss overlaps the owner's other work.
    void prefetch(quint32 hash) const
    {
        if (!m_table.empty())
            __builtin_prefetch(&m_table[hash & (m_table.size() - 1)]);
    }
    void setFirst(size_t entry, quint32 hash, Slot slot)
    {
        if (m_table[entry].slot == 0)
            ++m_count;
        m_table[entry] = {hash, slot};
    }
    void dropAt(size_t at)
    {
        const size_t mask = m_table.size() - 1;
        size_t hole = at;
        for (size_t next = (hole + 1) & mask; m_table[next].slot != 0; next = (next + 1) & mask) {
            const size_t home = m_table[next].hash & mask;
            if (((next - home) & mask) >= ((next - hole) & mask)) {
                m_table[hole] = m_table[next];
                hole = next;
            }
        }
        m_table[hole] = {};
        --m_count;
    }

    void reserve(qsizetype count)
    {
        if (3 * qsizetype(m_table.size()) >= 4 * count)
            return;
        rebuild(roomFor(count));
    }
    void clear()
    {
        std::fill(m_table.begin(), m_table.end(), Entry{});
        m_count = 0;
    }
    template <typename Rename> void renameAll(Rename rename)
    {
        for (Entry &entry : m_table) {
            if (entry.slot != 0)
                entry.slot = rename(entry.slot);
        }
        if (m_table.size() > 16 * size_t(std::max<qsizetype>(m_count, 8)))
            rebuild(roomFor(m_count));
    }

private:
    struct Entry {
        quint32 hash = 0;
        Slot slot = 0;
    };

    template <typename NickOf> size_t at(const QString &nick, quint32 hash, NickOf nickOf) const
    {
        const size_t mask = m_table.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Entry &entry = m_table[i];
            if (entry.slot == 0 || (entry.hash == hash && nickOf(entry.slot) == nick))
                return i;
        }
    }

    void rebuild(size_t size)
    {
        std::vector<Entry> old(size);
        old.swap(m_table);
        const size_t mask = size - 1;
        for (const Entry &entry : old) {
            if (entry.slot == 0)
                continue;
            size_t i = entry.hash & mask;
            while (m_table[i].slot != 0)
                i = (i + 1) & mask;
            m_table[i] = entry;
        }
    }

    std::vector<Entry> m_table;
    qsizetype m_count = 0;
};

} // namespace SlotIndex
