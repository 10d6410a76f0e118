#include "controls/volumecontrol/volumecore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Volume {

qint32 VolumeStep(quint32 maximum)
{
    return std::max<qint32>(1, qint32(std::lround(double(maximum) / MaxLevel)));
}

int ClampLevel(int level)
{
    return std::clamp(level, 0, MaxLevel);
}

int LevelForValue(qint64 value, qint32 step)
{
    const double levels = double(std::llabs(value)) / std::max<qint32>(step, 1);
    return std::clamp(int(std::lround(levels)), 0, MaxLevel);
}

quint32 MixerValueForLevel(int level, qint32 step, quint32 maximum)
{
    const qint64 value = qint64(ClampLevel(level)) * std::max<qint32>(step, 1);
    return quint32(std::min<qint64>(value, maximum));
}

} // namespace Volume
