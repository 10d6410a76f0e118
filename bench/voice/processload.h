#pragma once

#include "bench/voice/enginecalls.h"

#include <QString>

#include <vector>

// CPU of the whole process (every thread, timers and sockets included) from
// its own counters, while `pairs` speaking engines each send to a listening
// engine over loopback. With `wavs` (one speech file) the engines read and
// write sound files; without, they use the sound server's default devices.
struct ProcessLoad {
    double idlePercent = 0; // the same wait with no engine running
    double percent = 0; // of one core, all pairs together
    double perPairPercent = 0;
    bool ok = false;
    QString why;
};

ProcessLoad MeasureEnginePairs(const EngineCalls &calls, int pairs, int seconds,
    const QString &folder, const std::vector<qint16> *speech);

// The same for `listeners` engines listening on the sound server's default
// loudspeaker to a class where nobody speaks (perPairPercent: per engine),
// measured once they have had the time to come to rest.
ProcessLoad MeasureQuietListeners(const EngineCalls &calls, int listeners, int seconds);

// What the wake-ups of `pairs` speaking and listening pairs cost on this
// machine with no voice work at all: per pair, a capture thread woken every
// 10 ms that sends a datagram every 20 ms to a receiving thread, and a
// playback thread woken every 10 ms (the engine's fragment and request
// sizes on the sound server). The floor under the process figures: on a
// virtual machine a wake-up costs tens of microseconds of its own.
ProcessLoad MeasureBareWakeUps(int pairs, int seconds);
