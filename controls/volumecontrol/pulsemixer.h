#pragma once

#include "controls/volumecontrol/aulix_volumecontrolpulse_export.h"
#include "controls/volumecontrol/volumemixer.h"

#include <QByteArray>

#include <memory>

// VolumeMixer on the PulseAudio server: the default sink and the default
// source, followed through the server's change subscription. libpulse runs
// its own thread; results reach this object as queued calls, so every signal
// arrives on the thread that owns it. Lives in the sound server's library,
// which the volume control loads after its first paint (soundserver.h).
class AULIX_VOLUMECONTROLPULSE_EXPORT PulseMixer : public VolumeMixer
{
    Q_OBJECT

public:
    explicit PulseMixer(QObject *parent = nullptr);
    ~PulseMixer() override;

    bool isReady() const override;
    bool hasLine(Line line) const override;
    quint32 maximum(Line line) const override;
    quint32 volume(Line line) const override;
    void setVolume(Line line, quint32 value) override;

    // The name of the device behind a line ("" when absent).
    QByteArray deviceName(Line line) const;

    // The libpulse side (defined in the source file), public only so that
    // its C callbacks can reach it.
    struct Shared;

private:
    std::unique_ptr<Shared> m;
};
