#pragma once

#include "controls/coursemanage/lumocourseware_export.h"

#include <QByteArrayView>

#include <memory>

class QIODevice;
struct libdeflate_decompressor;

namespace Courseware {

class ExpansionBudget;

// BudgetSpent: the output shared with the other entries of the file ran out
// (see ExpansionBudget).
enum class ExpandStatus { Ok, TooLarge, BudgetSpent, Corrupt, ReadFailed, WriteFailed };

struct ExpandOutcome {
    ExpandStatus status = ExpandStatus::Ok;
    qint64 written = 0; // bytes handed to the output device
};

// Expands the zlib data of embedded files. Entries whose output fits in
// memory go through libdeflate in one call; larger ones stream through zlib.
// Nothing is ever written past `expandLimit` bytes for one entry: such an
// entry ends with TooLarge and whatever was written must be thrown away by
// the caller. Trailing bytes after the zlib stream are ignored.
// One expander per thread: it keeps its output buffer between entries.
class LUMOCOURSEWARE_EXPORT EntryExpander
{
public:
    explicit EntryExpander(qint64 expandLimit, qint64 inMemoryLimit = qint64(64) << 20);
    ~EntryExpander();
    EntryExpander(const EntryExpander &) = delete;
    EntryExpander &operator=(const EntryExpander &) = delete;

    ExpandOutcome expand(QByteArrayView compressed, QIODevice &out);
    // Reads `size` compressed bytes from `in` in pieces; for entries too
    // large to hold. Leaves `in` anywhere up to `size` bytes further on.
    ExpandOutcome expandStream(QIODevice &in, qint64 size, QIODevice &out);

    qint64 expandLimit() const { return m_expandLimit; }
    // Output is claimed from `budget` before it is written (not owned; may
    // be null).
    void setBudget(ExpansionBudget *budget) { m_budget = budget; }

private:
    ExpandOutcome expandWithZlib(
        QByteArrayView compressed, QIODevice *in, qint64 size, QIODevice &out);

    qint64 m_expandLimit;
    qint64 m_inMemoryLimit;
    ExpansionBudget *m_budget = nullptr;
    libdeflate_decompressor *m_decompressor = nullptr;
    std::unique_ptr<char[]> m_buffer;
    size_t m_capacity = 0;
};

} // namespace Courseware
