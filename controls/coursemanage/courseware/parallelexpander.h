#pragma once

#include "controls/coursemanage/courseware/entryexpander.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class QIODevice;

namespace Courseware {

// One embedded file to expand into `target`.
struct EntryJob {
    qsizetype index = 0; // the record's place in the result
    QByteArray owned; // compressed bytes the job carries (used when not empty)
    QByteArrayView data; // else: compressed bytes held by the caller
    QString target;
    QString name;
};

struct EntryDone {
    qsizetype index = 0;
    bool ok = false;
    qint64 written = 0;
    QString problem; // set when !ok
    int line = 0;
    // Stopped because the file's shared budget ran out: the reader reports
    // that once for the whole file, not per entry.
    bool budgetSpent = false;
};

// Expands one entry into its file, from `job.data` or, when `stream` is
// given, from `streamSize` bytes of that device. A failed entry leaves no
// file behind. The output is written under a new name of its own and then
// renamed over the target, so a link or file already standing at the
// target is replaced, never written through.
EntryDone ExpandToFile(EntryExpander &expander, const EntryJob &job, QIODevice *stream = nullptr,
    qint64 streamSize = 0);

// Expands entries on a few threads of its own while the caller goes on
// parsing. Jobs carry their bytes, or point into memory that stays valid
// until finish().
// The queue is short, so submit() waits when the workers fall behind.
class ParallelExpander
{
public:
    // `budget` (not owned, may be null) is shared by every worker.
    ParallelExpander(
        int threads, qint64 expandLimit, qint64 inMemoryLimit, ExpansionBudget *budget = nullptr);
    ~ParallelExpander();
    ParallelExpander(const ParallelExpander &) = delete;
    ParallelExpander &operator=(const ParallelExpander &) = delete;

    void submit(EntryJob job);
    // Waits for every submitted job; results in submission order.
    std::vector<EntryDone> finish();

private:
    void work();

    qint64 m_expandLimit;
    qint64 m_inMemoryLimit;
    ExpansionBudget *m_budget;
    size_t m_queueLimit;
    std::mutex m_mutex;
    std::condition_variable m_jobReady;
    std::condition_variable m_roomReady;
    std::deque<EntryJob> m_queue;
    std::vector<EntryDone> m_done;
    bool m_closing = false;
    std::vector<std::thread> m_workers;
};

} // namespace Courseware
