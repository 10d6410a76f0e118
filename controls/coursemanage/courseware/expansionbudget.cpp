#include "controls/coursemanage/courseware/expansionbudget.h"

#include <QStorageInfo>

namespace Courseware {

namespace {

constexpr qint64 DiskRecheckBytes = qint64(64) << 20;

} // namespace

ExpansionBudget::ExpansionBudget(
    const QString &folder, qint64 totalLimit, qint64 minFreeSpace, const std::atomic_bool *cancel)
    : m_folder(folder)
    , m_totalLimit(std::max<qint64>(0, totalLimit))
    , m_minFree(minFreeSpace)
    , m_cancel(cancel)
{ }

qint64 ExpansionBudget::used() const
{
    std::lock_guard lock(m_mutex);
    return m_used;
}

bool ExpansionBudget::claim(qint64 bytes)
{
    if (m_stop.load() != Stop::None)
        return false;
    if (m_cancel && m_cancel->load(std::memory_order_relaxed)) {
        m_stop = Stop::Cancelled;
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (m_stop.load() != Stop::None)
        return false;
    if (bytes > m_totalLimit - m_used) {
        m_stop = Stop::Total;
        return false;
    }
    if (!diskAllows(bytes)) {
        m_stop = Stop::Disk;
        return false;
    }
    m_used += bytes;
    return true;
}

bool ExpansionBudget::diskAllows(qint64 bytes)
{
    if (m_minFree < 0)
        return true;
    if (m_diskCheckedAt < 0 || m_used + bytes - m_diskCheckedAt > DiskRecheckBytes) {
        const QStorageInfo disk(m_folder);
        if (!disk.isValid())
            return true; // an unknown disk is left to the writes to fail
        m_diskCheckedAt = m_used;
        m_diskAllowsUpTo = m_used + disk.bytesAvailable() - m_minFree;
    }
    return m_used + bytes <= m_diskAllowsUpTo;
}

} // namespace Courseware
