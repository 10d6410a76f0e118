#pragma once

#include "controls/volumecontrol/sounddevices.h"

#include <QByteArray>
#include <QList>
#include <QString>

class VolumeMixer;

// The sound server's client library and everything it pulls in (codecs
// among them) stay out of the program's start: the code that talks to the
// server lives in Aulix_VolumeControlPulse, loaded on first need (the
// volume control's first paint, the first SoundDevices). This header is
// the contract between the two libraries.

// SoundDevices forwards every call to one of these, made by the library.
struct SoundDevices::Backend {
    Backend() = default;
    Backend(const Backend &) = delete;
    Backend &operator=(const Backend &) = delete;
    virtual ~Backend() = default;

    virtual bool isReady() const = 0;
    virtual QList<Device> inputs() const = 0;
    virtual QList<Device> outputs() const = 0;
    virtual QByteArray defaultInput() const = 0;
    virtual QByteArray defaultOutput() const = 0;
    virtual void choose(const QByteArray &input, const QByteArray &output) = 0;
    virtual QByteArray chosenInput() const = 0;
    virtual QByteArray chosenOutput() const = 0;
    virtual void setMeterUse(MeterUse use, bool on) = 0;
    virtual void setLoopback(bool on) = 0;
    virtual bool loopbackRunning() const = 0;
};

namespace SoundServer {

// The library's two entry points (extern "C"). The mixer has no parent;
// the devices' backend reaches its owner only through the owner's signals,
// queued onto the owner's thread.
using NewMixer = VolumeMixer *(*)();
using NewDevices = SoundDevices::Backend *(*)(SoundDevices *owner);
inline constexpr char NewMixerSymbol[] = "lumo_sound_server_mixer";
inline constexpr char NewDevicesSymbol[] = "lumo_sound_server_devices";

struct Library {
    NewMixer newMixer = nullptr;
    NewDevices newDevices = nullptr;
    // Why it could not be loaded (both entries null then).
    QString error;
};

// Loads the library on the first call; it stays loaded for the rest of the
// run, as a linked one would. UI thread only.
const Library &Load();

} // namespace SoundServer
