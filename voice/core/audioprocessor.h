#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QtGlobal>

#include <memory>

namespace webrtc {
class AudioProcessing;
}

namespace Voice {

// The microphone's clean-up on the sound-card path: echo cancellation against
// what the loudspeaker plays, noise suppression and gain control, in 10 ms
// chunks of the engine's format. Not thread-safe: feed the far end and the
// near end from one thread (the capture side queues what the playback side
// hands it).
class LUMOVOICECORE_EXPORT AudioProcessor
{
public:
    static constexpr int ChunkSamples = 480; // 10 ms at 48 kHz

    struct Switches {
        bool echoCancellation = true;
        bool noiseSuppression = true;
        bool gainControl = true;
    };

    explicit AudioProcessor(Switches switches);
    ~AudioProcessor();
    AudioProcessor(const AudioProcessor &) = delete;
    AudioProcessor &operator=(const AudioProcessor &) = delete;

    bool isValid() const { return m_apm != nullptr; }
    const Switches &switches() const { return m_switches; }

    // One chunk the loudspeaker is about to play.
    void analyzeFarEnd(const qint16 *chunk);
    // One chunk of microphone, in place. `delayMs`: from the far end's chunk
    // being analysed to its echo reaching this call (the playback buffer plus
    // the capture buffer); the canceller searches around it.
    void processNearEnd(qint16 *chunk, int delayMs);

private:
    Switches m_switches;
    std::unique_ptr<webrtc::AudioProcessing> m_apm;
};

} // namespace Voice
