#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QtGlobal>

struct SpeexPreprocessState_;

namespace Voice {

// Noise suppression for the microphone, one 20 ms frame at a time, in place.
class LUMOVOICECORE_EXPORT NoiseSuppressor
{
public:
    NoiseSuppressor();
    ~NoiseSuppressor();
    NoiseSuppressor(const NoiseSuppressor &) = delete;
    NoiseSuppressor &operator=(const NoiseSuppressor &) = delete;

    bool isValid() const { return m_state != nullptr; }
    void process(qint16 *frame);

private:
    SpeexPreprocessState_ *m_state = nullptr;
};

} // namespace Voice
