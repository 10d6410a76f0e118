#include "voice/core/voicedecoder.h"

#include "voice/core/voiceformat.h"

#include <opus.h>

#include <cstring>

namespace Voice {

VoiceDecoder::VoiceDecoder()
{
    int error = OPUS_OK;
    m_decoder = opus_decoder_create(SampleRate, 1, &error);
    if (error != OPUS_OK)
        m_decoder = nullptr;
}

VoiceDecoder::~VoiceDecoder()
{
    if (m_decoder)
        opus_decoder_destroy(m_decoder);
}

bool VoiceDecoder::decode(const QByteArray &payload, qint16 *out)
{
    // An empty packet would make Opus conceal and report success.
    if (m_decoder && !payload.isEmpty()) {
        const int samples
            = opus_decode(m_decoder, reinterpret_cast<const unsigned char *>(payload.constData()),
                opus_int32(payload.size()), out, FrameSamples, 0);
        if (samples == FrameSamples)
            return true;
        // A packet of another duration or a broken one: never let its
        // samples through at the wrong length.
    }
    conceal({}, out);
    return false;
}

void VoiceDecoder::conceal(const QByteArray &nextPayload, qint16 *out)
{
    if (!m_decoder) {
        std::memset(out, 0, sizeof(qint16) * FrameSamples);
        return;
    }
    if (!nextPayload.isEmpty()) {
        const int samples = opus_decode(m_decoder,
            reinterpret_cast<const unsigned char *>(nextPayload.constData()),
            opus_int32(nextPayload.size()), out, FrameSamples, 1);
        if (samples == FrameSamples)
            return;
    }
    if (opus_decode(m_decoder, nullptr, 0, out, FrameSamples, 0) != FrameSamples)
        std::memset(out, 0, sizeof(qint16) * FrameSamples);
}

} // namespace Voice
