#pragma once

// The engine's exported calls, resolved from the library the way the client
// loads it, and a wait that lets the engines' reports come in.
#include "voice/api/vocanaapi.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLibrary>
#include <QTimer>

struct EngineCalls {
    VocanaTextCall init = nullptr;
    VocanaRecordCall startSpeak = nullptr;
    VocanaTextCall stopSpeak = nullptr;
    VocanaRecordCall startListen = nullptr;
    VocanaNumberCall stopListen = nullptr;
    VocanaNumberCall release = nullptr;
    VocanaWaveFilesCall setFiles = nullptr;

    bool resolve(QLibrary &library)
    {
        init = reinterpret_cast<VocanaTextCall>(library.resolve("InitDLL"));
        startSpeak = reinterpret_cast<VocanaRecordCall>(library.resolve("StartSpeak"));
        stopSpeak = reinterpret_cast<VocanaTextCall>(library.resolve("StopSpeak"));
        startListen = reinterpret_cast<VocanaRecordCall>(library.resolve("StartListen"));
        stopListen = reinterpret_cast<VocanaNumberCall>(library.resolve("StopListen"));
        release = reinterpret_cast<VocanaNumberCall>(library.resolve("ReleaseDLL"));
        setFiles = reinterpret_cast<VocanaWaveFilesCall>(library.resolve("SetWaveFiles"));
        return init && startSpeak && stopSpeak && startListen && stopListen && release && setFiles;
    }
};

// A benchmark's wait: the engines' queued reports keep flowing meanwhile.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
