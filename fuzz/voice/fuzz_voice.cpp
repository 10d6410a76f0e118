// Datagrams as a relay may deliver them, through the engine's whole listening
// side (split, jitter buffer, Opus decoder, mixer), and WAV files as a user
// may point the engine at: neither may trust a single length.
#include "fuzz/voice/receivepath.h"
#include "voice/core/wavreader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const ReceivePath::Outcome outcome = ReceivePath::play(bytes);
    if (outcome.streamsAtEnd > int(Voice::StreamMixer::MaxStreams))
        std::abort();

    QString error;
    const Voice::WavAudio audio = Voice::ParseWav(bytes, &error);
    if (error.isEmpty() && audio.channels <= 0)
        std::abort();
    return 0;
}
