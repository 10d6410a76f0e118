#pragma once

#include <QtGlobal>

#include <vector>

// Positions over an append-only array of slots in which removals leave
// holes: the position of a live slot is the number of live slots up to and
// including it. Slot 0 is reserved and never counts.
//
// While there is no hole a position is its slot, and nothing is kept. The
// first hole builds a Fenwick tree of the live counts (linear), after which
// a position and its inverse cost O(log n). The owner closes the holes when
// they outnumber the live slots and then calls reset(), so a flood of
// removals costs O(log n) each, amortised, and memory stays within twice the
// live count.
class LiveRanks
{
public:
    qsizetype holes() const { return m_holes; }

    // A live slot was appended; slotCount counts the slots with slot 0.
    void appended(qsizetype slotCount)
    {
        if (m_tree.empty())
            return;
        // The new node sums its own count and the nodes it covers.
        const qsizetype slot = slotCount - 1;
        qint32 sum = 1;
        for (qsizetype j = slot - 1; j > slot - lowBit(slot); j -= lowBit(j))
            sum += m_tree[size_t(j)];
        m_tree.push_back(sum);
    }

    // The last slot was dropped from the array (no hole is left).
    void droppedLast()
    {
        // No node after the last one covers it, so nothing else changes.
        if (!m_tree.empty())
            m_tree.pop_back();
    }

    // The slot has just become a hole; isLive(slot) tells the state of
    // every slot, that one included, and is used only to build the tree.
    template <typename IsLive> void punched(qsizetype slot, qsizetype slotCount, IsLive isLive)
    {
        ++m_holes;
        if (!m_tree.empty()) {
            for (qsizetype i = slot; i < qsizetype(m_tree.size()); i += lowBit(i))
                --m_tree[size_t(i)];
            return;
        }
        m_tree.assign(size_t(slotCount), 0);
        for (qsizetype i = 1; i < slotCount; ++i) {
            m_tree[size_t(i)] += isLive(i) ? 1 : 0;
            const qsizetype parent = i + lowBit(i);
            if (parent < slotCount)
                m_tree[size_t(parent)] += m_tree[size_t(i)];
        }
    }

    // No holes any more (the owner closed them or emptied the array).
    void reset()
    {
        m_tree.clear();
        m_tree.shrink_to_fit();
        m_holes = 0;
    }

    // The position of a live slot.
    qsizetype positionOf(qsizetype slot) const
    {
        if (m_tree.empty())
            return slot;
        qsizetype position = 0;
        for (qsizetype i = slot; i > 0; i -= lowBit(i))
            position += m_tree[size_t(i)];
        return position;
    }

    // The slot at a position from 1 to the live count.
    qsizetype slotAt(qsizetype position) const
    {
        if (m_tree.empty())
            return position;
        const qsizetype size = qsizetype(m_tree.size());
        qsizetype step = 1;
        while (step * 2 < size)
            step *= 2;
        qsizetype slot = 0;
        for (; step > 0; step /= 2) {
            const qsizetype next = slot + step;
            if (next < size && m_tree[size_t(next)] < position) {
                slot = next;
                position -= m_tree[size_t(next)];
            }
        }
        return slot + 1;
    }

private:
    static qsizetype lowBit(qsizetype i) { return i & -i; }

    std::vector<qint32> m_tree; // m_tree[0] unused
    qsizetype m_holes = 0;
};
