#pragma once

#include <QString>
#include <QtGlobal>

#include <bit>
#include <set>
#include <vector>

// Positions over an append-only array of slots in which removals leave
// holes: the position of a live slot is the number of live slots up to and
// including it. Slot 0 is reserved and never counts.
//
// While there is no hole a position is its slot, and nothing is kept. The
// first hole builds (in linear time) one bit per slot and a Fenwick tree of
// the live counts of each word of 64 bits; a position and its inverse then
// cost O(log n), and the tree is small enough to stay in the cache even for
// a large class. The owner closes the holes when they outnumber the live
// slots and then calls reset(), so a flood of removals costs O(log n) each,
// amortised, and memory stays within twice the live count.
//
// A crowd leaving in arrival order punches the same word 64 times in a row:
// the tree takes the word's count once when another word changes, and the
// queries add what is still pending, so such a flood walks the tree once a
// word instead of once a departure.
class LiveRanks
{
public:
    qsizetype holes() const { return m_holes; }

    // A live slot was appended; slotCount counts the slots with slot 0.
    void appended(qsizetype slotCount)
    {
        if (m_bits.empty())
            return;
        settle();
        const qsizetype slot = slotCount - 1;
        const size_t word = size_t(slot / WordBits);
        if (word == m_bits.size()) {
            m_bits.push_back(0);
            appendNode();
        }
        m_bits[word] |= bitOf(slot);
        addToWord(word, 1);
    }

    // The last slot (live until now) was dropped from the array; no hole is
    // left.
    void droppedLast(qsizetype slot)
    {
        if (m_bits.empty())
            return;
        settle();
        const size_t word = size_t(slot / WordBits);
        m_bits[word] &= ~bitOf(slot);
        addToWord(word, -1);
        // No node after the last one covers it, so it can go with its word.
        if (slot % WordBits == 0) {
            m_bits.pop_back();
            m_tree.pop_back();
        }
    }

    // The slot has just become a hole; isLive(slot) tells the state of
    // every slot, that one included, and is used only to build the index.
    template <typename IsLive> void punched(qsizetype slot, qsizetype slotCount, IsLive isLive)
    {
        ++m_holes;
        if (!m_bits.empty()) {
            const size_t word = size_t(slot / WordBits);
            m_bits[word] &= ~bitOf(slot);
            if (word != m_pendingWord)
                settle();
            m_pendingWord = word;
            --m_pending;
            return;
        }
        const size_t words = size_t((slotCount + WordBits - 1) / WordBits);
        m_bits.assign(words, 0);
        for (qsizetype i = 1; i < slotCount; ++i) {
            if (isLive(i))
                m_bits[size_t(i / WordBits)] |= bitOf(i);
        }
        m_tree.assign(words + 1, 0);
        for (size_t node = 1; node <= words; ++node) {
            m_tree[node] += std::popcount(m_bits[node - 1]);
            const size_t parent = node + lowBit(node);
            if (parent <= words)
                m_tree[parent] += m_tree[node];
        }
    }

    // No holes any more (the owner closed them or emptied the array).
    void reset()
    {
        m_bits = {};
        m_tree = {};
        m_holes = 0;
        m_pending = 0;
    }

    // The position of a live slot.
    qsizetype positionOf(qsizetype slot) const
    {
        if (m_bits.empty())
            return slot;
        const size_t word = size_t(slot / WordBits);
        qsizetype position = 0;
        for (size_t node = word; node > 0; node -= lowBit(node))
            position += m_tree[node];
        if (m_pendingWord < word)
            position += m_pending;
        const quint64 upTo = ~quint64(0) >> (WordBits - 1 - slot % WordBits);
        return position + std::popcount(m_bits[word] & upTo);
    }

    // The slot at a position from 1 to the live count.
    qsizetype slotAt(qsizetype position) const
    {
        if (m_bits.empty())
            return position;
        // The words before the one holding the position, by the tree.
        const size_t nodes = m_tree.size() - 1;
        size_t step = std::bit_floor(nodes);
        size_t word = 0;
        for (; step > 0; step /= 2) {
            const size_t next = word + step;
            if (next > nodes)
                continue;
            // Node `next` counts the words from `word` up to `next - 1`.
            const qint32 count = m_tree[next] + (m_pendingWord - word < step ? m_pending : 0);
            if (count < position) {
                word = next;
                position -= count;
            }
        }
        quint64 bits = m_bits[word];
        for (; position > 1; --position)
            bits &= bits - 1;
        return qsizetype(word) * WordBits + std::countr_zero(bits);
    }

    // Each live slot's rank, which is its slot once the holes are closed,
    // in constant time from one count per 64 slots: renaming every index
    // after a close touches a table that stays in the cache, where an array
    // of new slots would be as large as the class. Valid until the next
    // change of the ranks.
    class Ranking
    {
    public:
        explicit Ranking(const LiveRanks &ranks)
            : m_bits(ranks.m_bits)
        {
            m_before.reserve(m_bits.size());
            quint32 live = 0;
            for (const quint64 word : m_bits) {
                m_before.push_back(live);
                live += quint32(std::popcount(word));
            }
        }
        quint32 operator()(quint32 slot) const
        {
            if (m_bits.empty())
                return slot;
            const size_t word = size_t(slot / WordBits);
            const quint64 upTo = ~quint64(0) >> (WordBits - 1 - slot % WordBits);
            return m_before[word] + quint32(std::popcount(m_bits[word] & upTo));
        }

    private:
        const std::vector<quint64> &m_bits;
        std::vector<quint32> m_before;
    };

private:
    static constexpr qsizetype WordBits = 64;
    static quint64 bitOf(qsizetype slot) { return quint64(1) << (slot % WordBits); }
    static size_t lowBit(size_t node) { return node & (~node + 1); }

    // The tree node of a new last word, empty: it sums the nodes it covers.
    void appendNode()
    {
        const size_t node = m_tree.size();
        qint32 sum = 0;
        for (size_t child = node - 1; child > node - lowBit(node); child -= lowBit(child))
            sum += m_tree[child];
        m_tree.push_back(sum);
    }
    // The pending change of one word goes into the tree.
    void settle()
    {
        if (m_pending != 0)
            addToWord(m_pendingWord, m_pending);
        m_pending = 0;
    }
    void addToWord(size_t word, qint32 delta)
    {
        for (size_t node = word + 1; node < m_tree.size(); node += lowBit(node))
            m_tree[node] += delta;
    }

    std::vector<quint64> m_bits; // bit s % 64 of word s / 64: slot s is live
    std::vector<qint32> m_tree; // live counts of the words; m_tree[0] unused
    // A change of word m_pendingWord's count not yet in the tree.
    size_t m_pendingWord = 0;
    qint32 m_pending = 0;
    qsizetype m_holes = 0;
};

// Closing the holes of a slot array, for the owners of a LiveRanks (the
// roster and the note recipients keep the same indexes over their slots).
namespace LiveSlots {

using Slot = quint32;

// Moves the live entries down over the holes (slot 0 stays where it is):
// each lands on its rank.
template <typename Entry, typename IsLive> void closeHoles(std::vector<Entry> &slots, IsLive isLive)
{
    size_t next = 1;
    for (size_t slot = 1; slot < slots.size(); ++slot) {
        if (!isLive(slots[slot]))
            continue;
        if (next != slot)
            slots[next] = std::move(slots[slot]);
        ++next;
    }
    slots.resize(next);
}

// A set of slots, renamed after closeHoles().
template <typename Rename> void rename(std::set<Slot> &slots, const Rename &rename)
{
    std::set<Slot> renamed;
    for (const Slot slot : slots)
        renamed.insert(renamed.end(), rename(slot));
    slots.swap(renamed);
}

} // namespace LiveSlots
