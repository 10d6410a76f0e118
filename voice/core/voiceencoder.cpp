#include "voice/core/voiceencoder.h"

#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"

#include <opus.h>

#include <algorithm>

namespace Voice {

VoiceEncoder::VoiceEncoder()
    : VoiceEncoder(Settings{})
{ }

VoiceEncoder::VoiceEncoder(const Settings &settings)
{
    int error = OPUS_OK;
    m_encoder = opus_encoder_create(SampleRate, 1, OPUS_APPLICATION_VOIP, &error);
    if (error != OPUS_OK) {
        m_encoder = nullptr;
        return;
    }
    opus_encoder_ctl(m_encoder, OPUS_SET_BITRATE(settings.bitrate));
    opus_encoder_ctl(m_encoder, OPUS_SET_COMPLEXITY(settings.complexity));
    opus_encoder_ctl(m_encoder, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
    opus_encoder_ctl(m_encoder, OPUS_SET_INBAND_FEC(1));
    m_expectedLoss = settings.expectedLossPercent;
    opus_encoder_ctl(m_encoder, OPUS_SET_PACKET_LOSS_PERC(m_expectedLoss));
    // Silence is sent as frames too: the listener tells loss from a pause by
    // the sequence numbers alone.
    opus_encoder_ctl(m_encoder, OPUS_SET_DTX(0));
}

VoiceEncoder::~VoiceEncoder()
{
    if (m_encoder)
        opus_encoder_destroy(m_encoder);
}

QByteArray VoiceEncoder::encode(const qint16 *frame)
{
    if (!m_encoder)
        return {};
    unsigned char buffer[MaxPayloadSize];
    const opus_int32 bytes = opus_encode(m_encoder, frame, FrameSamples, buffer, MaxPayloadSize);
    if (bytes <= 0)
        return {};
    return QByteArray(reinterpret_cast<const char *>(buffer), bytes);
}

void VoiceEncoder::setExpectedLossPercent(int percent)
{
    if (percent < 0)
        return;
    percent = std::clamp(percent, MinExpectedLoss, MaxExpectedLoss);
    if (percent == m_expectedLoss)
        return;
    m_expectedLoss = percent;
    if (m_encoder)
        opus_encoder_ctl(m_encoder, OPUS_SET_PACKET_LOSS_PERC(percent));
}

int VoiceEncoder::lookahead() const
{
    opus_int32 samples = 0;
    if (m_encoder)
        opus_encoder_ctl(m_encoder, OPUS_GET_LOOKAHEAD(&samples));
    return samples;
}

} // namespace Voice
