#include "voice/core/noisesuppressor.h"

#include "voice/core/voiceformat.h"

#include <speex/speex_preprocess.h>

namespace Voice {

NoiseSuppressor::NoiseSuppressor()
    : m_state(speex_preprocess_state_init(FrameSamples, SampleRate))
{
    if (!m_state)
        return;
    int on = 1;
    int off = 0;
    speex_preprocess_ctl(m_state, SPEEX_PREPROCESS_SET_DENOISE, &on);
    // Gain control belongs to the mixer's microphone slider, not here.
    speex_preprocess_ctl(m_state, SPEEX_PREPROCESS_SET_AGC, &off);
    speex_preprocess_ctl(m_state, SPEEX_PREPROCESS_SET_DEREVERB, &off);
}

NoiseSuppressor::~NoiseSuppressor()
{
    if (m_state)
        speex_preprocess_state_destroy(m_state);
}

void NoiseSuppressor::process(qint16 *frame)
{
    if (m_state)
        speex_preprocess_run(m_state, frame);
}

} // namespace Voice
