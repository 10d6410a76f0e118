#pragma once

#include <QAudioDevice>
#include <QByteArray>
#include <QString>

// The capture device that hears what the default output plays. Qt does not
// list the sound server's monitor sources, so the monitor is offered again
// as an ordinary source while this lives (null when there is none).
class OutputMonitor
{
public:
    OutputMonitor();
    ~OutputMonitor();
    OutputMonitor(const OutputMonitor &) = delete;
    OutputMonitor &operator=(const OutputMonitor &) = delete;

    QAudioDevice device;

private:
    QByteArray m_module;
};

// The delay the device buffers add to the engine's path, measured through a
// null sink and its monitor: clicks made on demand, the way the engine's
// playback makes its frames, come back through a capture read the way the
// engine reads the microphone. From the moment a click is made to the moment
// the capture hands it over is the playback side of the listener plus the
// capture side of the speaker.
struct DeviceLoop {
    bool ok = false;
    QString why; // when not ok
    double medianMs = 0;
    double worstMs = 0;
    int clicks = 0;
};

// Through Qt Multimedia, the engine's fallback: a sink asking for
// `playbackFrames` frames of buffer and a capture asking for `captureFrames`.
DeviceLoop MeasureDeviceLoop(
    const OutputMonitor &monitor, int captureFrames, int playbackFrames, int seconds);

// Through the engine's own sound-server streams: capture fragments of
// `captureMs`, a playback target of `playbackMs`.
DeviceLoop MeasurePulseLoop(int captureMs, int playbackMs, int seconds);
