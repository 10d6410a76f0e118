#pragma once

// The voice engine's calls as the host binds them. The engine is a shared
// library loaded by name at its first call; this header is all that the host
// and the engine share, so it holds plain C records and function types only.

#include <cstdint>

class QObject;

extern "C" {

// StartSpeak: window, message, address, port. StartListen: 0, 0, address,
// port. WatchAudioDevices: window, message, 0, 0. Addresses carry the first
// dotted part in the top byte.
struct VocanaAddressRecord {
    int32_t hWnd;
    int32_t message;
    int32_t address;
    int32_t port;
};

// Optional sound files in place of the microphone and the loudspeaker, as
// UTF-8 paths; a null or empty path keeps the audio device.
struct VocanaWaveFiles {
    const char *microphoneWav;
    const char *playbackWav;
};

// The sound server's own figures for the device delay of the running
// channels, in ms; -1 for a channel that is not running on the sound server
// (stopped, sound files, or the fallback devices).
struct VocanaDeviceDelay {
    int32_t captureMs;
    int32_t playbackMs;
};

// Sound-server devices by name (from GetAudioDevices); a null or empty
// name is the server's default device.
struct VocanaAudioDevices {
    const char *microphone;
    const char *loudspeaker;
};

// GetAudioDevices writes one line per device into `text`, UTF-8:
// "in" or "out", TAB, the name, TAB, the description, TAB, "1" for the
// default device else "0", LF; then a zero byte. `length` gets the bytes the
// lines take (without the zero byte), also when `capacity` has no room for
// them and the zero byte (BufferTooSmall).
struct VocanaDeviceList {
    char *text;
    int32_t capacity;
    int32_t length;
};

// Every call takes the instance key first and one argument by reference.
using VocanaTextCall = int32_t (*)(int32_t instance, const char *text);
using VocanaRecordCall = int32_t (*)(int32_t instance, const VocanaAddressRecord *record);
using VocanaNumberCall = int32_t (*)(int32_t instance, const int32_t *value);
using VocanaWaveFilesCall = int32_t (*)(int32_t instance, const VocanaWaveFiles *files);
using VocanaDeviceDelayCall = int32_t (*)(int32_t instance, VocanaDeviceDelay *delay);
using VocanaAudioDevicesCall = int32_t (*)(int32_t instance, const VocanaAudioDevices *devices);
using VocanaDeviceListCall = int32_t (*)(int32_t instance, VocanaDeviceList *list);
// The object whose signal WindowMessage(int hWnd, int message, int wParam,
// int lParam) carries the level reports; it lives on the thread that made the
// first InitDLL call, and every emission happens there.
using VocanaNotifierCall = QObject *(*)();
}

namespace Vocana {

// The first argument of every call names an engine instance. The client
// always passes this one; tests run several instances in one process.
inline constexpr int32_t ClientInstance = 0x566F6361;

// The message number the client asks for; level reports carry 0..32768 in
// lParam.
inline constexpr int32_t LevelMessage = 502;
inline constexpr int32_t MaxLevel = 32768;

// Results. Append only: hosts log the numbers.
enum Result : int32_t {
    Ok = 0,
    NotInitialised = -1,
    BadArgument = -2,
    SocketFailed = -3,
    AudioUnavailable = -4,
    CodecFailed = -5,
    FileFailed = -6,
    BufferTooSmall = -7,
    EngineMissing = -100, // the host could not load the library
};

inline constexpr const char *LibraryName = "Vocana";

} // namespace Vocana
