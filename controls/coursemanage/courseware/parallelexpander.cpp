#include "controls/coursemanage/courseware/parallelexpander.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace Courseware {

namespace {

// A file that did not exist before, beside `target`. O_EXCL refuses any name
// that is taken, by a link too, so nothing planted there is written through.
// The name cannot be a record's: record names start with a key ("_0...").
bool openFresh(QFile &file, const QString &target)
{
    const QString folder = QFileInfo(target).path();
    for (int attempt = 0; attempt < 16; ++attempt) {
        file.setFileName(folder + u"/.lumo-"_s
            + QString::number(QRandomGenerator::global()->generate64(), 16) + u".part"_s);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
    }
    return false;
}

// rename(2) replaces the name itself: an existing link at `target` is
// replaced, never followed.
bool moveIntoPlace(const QString &from, const QString &target)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(target).constData())
        == 0;
}

} // namespace

EntryDone ExpandToFile(
    EntryExpander &expander, const EntryJob &job, QIODevice *stream, qint64 streamSize)
{
    EntryDone done;
    done.index = job.index;
    QFile out;
    if (!openFresh(out, job.target)) {
        done.problem = u"cannot write %1: %2"_s.arg(job.target, out.errorString());
        done.line = __LINE__;
        return done;
    }
    const ExpandOutcome outcome = stream
        ? expander.expandStream(*stream, streamSize, out)
        : expander.expand(job.owned.isEmpty() ? job.data : QByteArrayView(job.owned), out);
    if (outcome.status == ExpandStatus::Ok && out.flush()) {
        out.close();
        if (moveIntoPlace(out.fileName(), job.target)) {
            done.ok = true;
            done.written = outcome.written;
            return done;
        }
        done.problem = u"cannot write %1: %2"_s.arg(job.target, qt_error_string(errno));
        done.line = __LINE__;
        out.remove();
        return done;
    }
    const QString writeError = out.errorString();
    out.close();
    out.remove(); // a partial file must not be played as if it were whole
    switch (outcome.status) {
    case ExpandStatus::BudgetSpent:
        done.budgetSpent = true;
        done.problem = u"entry \"%1\" not expanded: the course's room ran out"_s.arg(job.name);
        done.line = __LINE__;
        break;
    case ExpandStatus::TooLarge:
        done.problem = u"entry \"%1\" expands past %2 bytes; abandoned"_s.arg(job.name).arg(
            expander.expandLimit());
        done.line = __LINE__;
        break;
    case ExpandStatus::Corrupt:
        done.problem = u"entry \"%1\" holds damaged compressed data"_s.arg(job.name);
        done.line = __LINE__;
        break;
    case ExpandStatus::ReadFailed:
        done.problem = u"entry \"%1\" could not be read"_s.arg(job.name);
        done.line = __LINE__;
        break;
    case ExpandStatus::WriteFailed:
    case ExpandStatus::Ok:
        done.problem = u"cannot write %1: %2"_s.arg(job.target, writeError);
        done.line = __LINE__;
        break;
    }
    return done;
}

ParallelExpander::ParallelExpander(
    int threads, qint64 expandLimit, qint64 inMemoryLimit, ExpansionBudget *budget)
    : m_expandLimit(expandLimit)
    , m_inMemoryLimit(inMemoryLimit)
    , m_budget(budget)
    , m_queueLimit(size_t(std::max(threads, 1)) * 2)
{
    for (int i = 0; i < std::max(threads, 1); ++i)
        m_workers.emplace_back([this] { work(); });
}

ParallelExpander::~ParallelExpander()
{
    finish();
}

void ParallelExpander::submit(EntryJob job)
{
    std::unique_lock lock(m_mutex);
    m_roomReady.wait(lock, [this] { return m_queue.size() < m_queueLimit; });
    m_queue.push_back(std::move(job));
    m_jobReady.notify_one();
}

std::vector<EntryDone> ParallelExpander::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_jobReady.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
    m_workers.clear();
    std::vector<EntryDone> done;
    done.swap(m_done);
    std::sort(done.begin(), done.end(),
        [](const EntryDone &a, const EntryDone &b) { return a.index < b.index; });
    return done;
}

void ParallelExpander::work()
{
    // Each worker keeps its own output buffer between entries.
    EntryExpander expander(m_expandLimit, m_inMemoryLimit);
    expander.setBudget(m_budget);
    for (;;) {
        EntryJob job;
        {
            std::unique_lock lock(m_mutex);
            m_jobReady.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_roomReady.notify_one();
        EntryDone done = ExpandToFile(expander, job);
        std::lock_guard lock(m_mutex);
        m_done.push_back(std::move(done));
    }
}

} // namespace Courseware
