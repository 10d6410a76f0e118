#pragma once

#include "controls/volumecontrol/aulix_volumecontrol_export.h"

#include <QObject>

// The two mixer lines the volume control drives: the default output's and
// the default input's volume. Implementations answer reads from what they
// last learned (never waiting on the sound server) and tell of changes,
// including those made by other programs, through `changed`.
class AULIX_VOLUMECONTROL_EXPORT VolumeMixer : public QObject
{
    Q_OBJECT

public:
    enum Line { Speaker = 0, Microphone = 1 };

    using QObject::QObject;
    ~VolumeMixer() override;

    // True once the lines are known (present or not).
    virtual bool isReady() const = 0;
    virtual bool hasLine(Line line) const = 0;
    // The volume that counts as full scale.
    virtual quint32 maximum(Line line) const = 0;
    virtual quint32 volume(Line line) const = 0;
    virtual void setVolume(Line line, quint32 value) = 0;

Q_SIGNALS:
    // Once, when the lines are first known.
    void ready();
    // No mixer can be had (no sound server, or it went away).
    void unavailable(const QString &reason);
    // A volume or the default device changed, by us or by anybody else.
    void changed();
};
