#pragma once

#include "voice/core/lumovoicecore_export.h"
#include "voice/core/voiceformat.h"

#include <vector>

namespace Voice {

// Plays one voice's 20 ms frames a little faster or slower without dropping
// words: a voiced frame loses or gains one pitch period, cut where the
// waveform repeats best and cross-faded so the seam falls on a match; a
// quiet frame (a pause, breath, background) loses or gains any length up to
// half a frame. Small changes are made in quiet frames only, so a delay that
// is a few milliseconds too long waits for the next pause; speech itself is
// touched only for larger ones. Only the inside of a frame changes, so
// frames join as they did.
class LUMOVOICECORE_EXPORT TimeStretcher
{
public:
    // The most one frame changes by (10 ms): in a pause, twice as fast or
    // half again as slow at the most.
    static constexpr int MaxChangeSamples = FrameSamples / 2;
    // Pitch periods searched: 400 Hz down to 100 Hz (the limit above).
    static constexpr int MinPeriodSamples = SampleRate / 400;
    // Below this a voiced frame is left alone (8 ms): the change waits for a
    // quiet frame, where it is inaudible.
    static constexpr int VoicedThresholdSamples = SampleRate * 8 / 1000;
    // Below this nothing is done at all (1 ms).
    static constexpr int QuietThresholdSamples = SampleRate / 1000;

    // Appends `frame` (FrameSamples samples) to `out`, longer by about
    // `wantSamples` (shorter when negative); returns how much longer it
    // made it (0 when the frame did not lend itself to the change).
    int process(const qint16 *frame, int wantSamples, std::vector<qint16> &out);

    // Whether the last frame counted as quiet.
    bool lastQuiet() const { return m_lastQuiet; }

private:
    struct Match {
        int period = 0;
        double correlation = -1;
    };
    Match bestPeriod(const qint16 *frame, int longest) const;

    double m_level = 0; // recent loudness of the voice, RMS, slowly forgotten
    bool m_lastQuiet = true;
};

} // namespace Voice
