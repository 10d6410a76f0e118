#pragma once

#include "controls/coursemanage/lumocourseware_export.h"

#include <QString>

#include <atomic>
#include <mutex>

namespace Courseware {

// What all embedded files of one courseware file may expand to together,
// unless the caller sets other figures.
inline constexpr qint64 DefaultTotalExpandLimit = qint64(4) << 30;
// The free space the disk must keep while files are expanded.
inline constexpr qint64 DefaultMinFreeSpace = qint64(1) << 30;

// The output all entries of one file share, so that a file of many
// entries, each within its own limit, cannot fill the disk. Claimed by the
// reading thread and the expanding workers alike.
class LUMOCOURSEWARE_EXPORT ExpansionBudget
{
public:
    enum class Stop { None, Total, Disk, Cancelled };

    // `folder` is where the output goes (its disk is watched); a negative
    // `minFreeSpace` leaves the disk unwatched. `cancel` may be null.
    ExpansionBudget(const QString &folder, qint64 totalLimit, qint64 minFreeSpace,
        const std::atomic_bool *cancel = nullptr);

    // Takes `bytes` more output. False once the total would pass its limit,
    // the disk would keep less than the minimum or the work was cancelled;
    // from then on every claim fails.
    bool claim(qint64 bytes);
    Stop stopped() const { return m_stop.load(); }
    qint64 used() const;
    qint64 totalLimit() const { return m_totalLimit; }
    qint64 minFreeSpace() const { return m_minFree; }

private:
    bool diskAllows(qint64 bytes);

    const QString m_folder;
    const qint64 m_totalLimit;
    const qint64 m_minFree;
    const std::atomic_bool *m_cancel;
    std::atomic<Stop> m_stop{Stop::None};
    mutable std::mutex m_mutex;
    qint64 m_used = 0;
    // The disk is asked again after this much output: others write too.
    qint64 m_diskCheckedAt = -1;
    qint64 m_diskAllowsUpTo = 0;
};

} // namespace Courseware
