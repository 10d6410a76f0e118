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
    // The share of packets the listeners are expected to lose, which sets
    // how much of the bitrate goes to the redundancy that rebuilds them. A
    // negative figure (nothing measured yet) keeps the setting it has. Kept
    // within MinExpectedLoss..MaxExpectedLoss: without any redundancy a burst
    // of loss before the next figure arrives would be heard whole, and above
    // the maximum the speech itself would starve.
    void setExpectedLossPercent(int percent);
    int expectedLossPercent() const { return m_expectedLoss; }

    static constexpr int MinExpectedLoss = 2;
    static constexpr int MaxExpectedLoss = 30;

private:
    OpusEncoder *m_encoder = nullptr;
    int m_expectedLoss = 0;
};

} // namespace Voice
