#pragma once

#include "bench/voice/enginecalls.h"

#include <QString>

#include <vector>

// Mouth to ear through the sound server and two engines: tone bursts played
// into a null sink of their own (the mouth), a speaking engine capturing its
// monitor, a listening engine playing into the default null sink, heard back
// through that sink's monitor (the ear). The delay of each burst, in
// three-second windows from the first one on.
struct EngineLoop {
    bool ok = false;
    QString why;
    std::vector<double> windowMedians; // ms, one per three seconds
    double worstWindow = 0;
    double drift = 0; // last window's median minus the first's
    int bursts = 0;
};

EngineLoop MeasureEngineLoop(const EngineCalls &calls, int seconds);
