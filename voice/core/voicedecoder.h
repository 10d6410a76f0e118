#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QByteArray>

struct OpusDecoder;

namespace Voice {

// Opus decoder for one stream. Every call yields exactly FrameSamples
// samples, so the player's clock never slips, whatever arrived.
class LUMOVOICECORE_EXPORT VoiceDecoder
{
public:
    VoiceDecoder();
    ~VoiceDecoder();
    VoiceDecoder(const VoiceDecoder &) = delete;
    VoiceDecoder &operator=(const VoiceDecoder &) = delete;

    bool isValid() const { return m_decoder != nullptr; }
    // A damaged packet is concealed instead. Returns false in that case.
    bool decode(const QByteArray &payload, qint16 *out);
    // Rebuilds the frame before `nextPayload` from its redundancy, or, with
    // no next packet (or none usable), extrapolates from what was played.
    void conceal(const QByteArray &nextPayload, qint16 *out);

private:
    OpusDecoder *m_decoder = nullptr;
};

} // namespace Voice
