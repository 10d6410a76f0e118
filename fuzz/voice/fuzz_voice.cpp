// Datagrams as a relay may deliver them, and WAV files as a user may point
// the engine at: both must be read without trusting a single length.
#include "voice/core/voicepacket.h"
#include "voice/core/wavreader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const Voice::SplitDatagram split = Voice::SplitVoiceDatagram(bytes);
    qsizetype used = split.discardedBytes;
    for (const Voice::VoicePacket &packet : split.packets) {
        if (packet.payload.size() != packet.header.payloadLength
            || packet.payload.size() > Voice::MaxPayloadSize)
            std::abort();
        used += Voice::PacketHeaderSize + packet.payload.size();
    }
    if (used > bytes.size())
        std::abort();

    QString error;
    const Voice::WavAudio audio = Voice::ParseWav(bytes, &error);
    if (error.isEmpty() && audio.channels <= 0)
        std::abort();
    return 0;
}
