#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstdlib>

namespace Voice {

// The engine's one internal format: 48 kHz mono, 16-bit, 20 ms frames.
inline constexpr int SampleRate = 48000;
inline constexpr int FrameSamples = 960;
inline constexpr int FrameMs = 20;

// On the sound server: the capture latency (the server hands it over in
// fragments of half of it, 10 ms) and the playback buffer the server is asked
// to keep (it sizes its device buffers to them). Each millisecond here is one
// of mouth-to-ear delay; less risks gaps when the machine is busy, and
// smaller fragments cost wake-ups without shortening the 20 ms frames.
inline constexpr int CaptureLatencyMs = 20;
inline constexpr int PlaybackTargetMs = 20;

// Through Qt Multimedia, where no sound server runs: its device buffers, in
// frames. Qt's back end keeps far more than asked whatever the size.
inline constexpr int CaptureBufferFrames = 2;
inline constexpr int PlaybackBufferFrames = 3;

// Peak of one frame on the 0..32768 scale of the level reports.
inline int PeakLevel(const qint16 *samples, int count)
{
    int peak = 0;
    for (int i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    return peak;
}

} // namespace Voice
