#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QByteArray>

struct OpusEncoder;

namespace Voice {

// Opus in voice mode, 48 kHz mono, one 20 ms frame per packet, with in-band
// forward error correction so a listener can rebuild a single lost frame
// from the packet after it.
class LUMOVOICECORE_EXPORT VoiceEncoder
{
public:
    struct Settings {
        int bitrate = 24000;
        int complexity = 2;
        int expectedLossPercent = 10;
    };

    VoiceEncoder();
    explicit VoiceEncoder(const Settings &settings);
    ~VoiceEncoder();
    VoiceEncoder(const VoiceEncoder &) = delete;
    VoiceEncoder &operator=(const VoiceEncoder &) = delete;

    bool isValid() const { return m_encoder != nullptr; }
    // One frame of FrameSamples samples; empty on failure.
    QByteArray encode(const qint16 *frame);
    // Samples of delay the codec adds (its look-ahead).
    int lookahead() const;

private:
    OpusEncoder *m_encoder = nullptr;
};

} // namespace Voice
