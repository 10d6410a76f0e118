#pragma once

#include "controls/volumecontrol/lumovolumecontrolcore_export.h"

#include <QtGlobal>

// The level arithmetic of the volume control: levels 0-10 (0 silent, 10
// loudest; a slider shows the level itself), and mixer values counted in
// steps of one tenth of the control's maximum.
namespace Volume {

constexpr int MaxLevel = 10;

// Mixer units per level: maximum / 10, rounded, at least 1.
LUMOVOLUMECONTROLCORE_EXPORT qint32 VolumeStep(quint32 maximum);

LUMOVOLUMECONTROLCORE_EXPORT int ClampLevel(int level);

// The level of a mixer value: round(value / step), kept within 0-10 (a
// mixer above its nominal maximum reads as loudest).
LUMOVOLUMECONTROLCORE_EXPORT int LevelForValue(qint64 value, qint32 step);

// The mixer value of a level: level (clamped to 0-10) x step, never above
// the control's maximum (10 x a rounded step can pass it by a few units).
LUMOVOLUMECONTROLCORE_EXPORT quint32 MixerValueForLevel(int level, qint32 step, quint32 maximum);

} // namespace Volume
