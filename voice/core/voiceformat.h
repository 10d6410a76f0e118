#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstdlib>

namespace Voice {

// The engine's one internal format: 48 kHz mono, 16-bit, 20 ms frames.
inline constexpr int SampleRate = 48000;
inline constexpr int FrameSamples = 960;
inline constexpr int FrameMs = 20;

// The device buffers the engine asks the sound server for, in frames. Each
// frame here is a frame of mouth-to-ear delay on the sound-server path;
// fewer risk gaps when the machine is busy.
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
