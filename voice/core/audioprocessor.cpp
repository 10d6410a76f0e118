#include "voice/core/audioprocessor.h"

#include "voice/core/voiceformat.h"

#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <cstring>

namespace Voice {

namespace {

void fill(webrtc::AudioFrame &frame, const qint16 *chunk)
{
    frame.sample_rate_hz_ = SampleRate;
    frame.num_channels_ = 1;
    frame.samples_per_channel_ = AudioProcessor::ChunkSamples;
    std::memcpy(frame.data_, chunk, AudioProcessor::ChunkSamples * sizeof(qint16));
}

} // namespace

AudioProcessor::AudioProcessor(Switches switches)
    : m_switches(switches)
{
    webrtc::Config config;
    // The extended filter and the delay-agnostic mode ride out what the
    // sound server's latency reports miss (resampling, hardware FIFOs) and
    // a delay that moves when the server adjusts its buffers.
    config.Set<webrtc::ExtendedFilter>(new webrtc::ExtendedFilter(true));
    config.Set<webrtc::DelayAgnostic>(new webrtc::DelayAgnostic(true));
    // The experimental gain control moves the system's microphone volume;
    // ours stays digital and leaves the mixer's slider to the student.
    config.Set<webrtc::ExperimentalAgc>(new webrtc::ExperimentalAgc(false));
    m_apm.reset(webrtc::AudioProcessing::Create(config));
    if (!m_apm)
        return;
    if (m_apm->Initialize(SampleRate, SampleRate, SampleRate, webrtc::AudioProcessing::kMono,
            webrtc::AudioProcessing::kMono, webrtc::AudioProcessing::kMono)
        != webrtc::AudioProcessing::kNoError) {
        m_apm.reset();
        return;
    }
    m_apm->high_pass_filter()->Enable(true);
    webrtc::EchoCancellation *aec = m_apm->echo_cancellation();
    aec->enable_drift_compensation(false);
    aec->set_suppression_level(webrtc::EchoCancellation::kLowSuppression);
    aec->Enable(m_switches.echoCancellation);
    m_apm->noise_suppression()->set_level(webrtc::NoiseSuppression::kModerate);
    m_apm->noise_suppression()->Enable(m_switches.noiseSuppression);
    webrtc::GainControl *agc = m_apm->gain_control();
    agc->set_mode(webrtc::GainControl::kAdaptiveDigital);
    agc->set_target_level_dbfs(6);
    agc->set_compression_gain_db(9);
    agc->enable_limiter(true);
    agc->Enable(m_switches.gainControl);
}

AudioProcessor::~AudioProcessor() = default;

void AudioProcessor::analyzeFarEnd(const qint16 *chunk)
{
    if (!m_apm || !m_switches.echoCancellation)
        return;
    webrtc::AudioFrame frame;
    fill(frame, chunk);
    m_apm->AnalyzeReverseStream(&frame);
}

void AudioProcessor::processNearEnd(qint16 *chunk, int delayMs)
{
    if (!m_apm)
        return;
    webrtc::AudioFrame frame;
    fill(frame, chunk);
    // The canceller takes at most 500 ms.
    m_apm->set_stream_delay_ms(std::clamp(delayMs, 0, 500));
    if (m_apm->ProcessStream(&frame) == webrtc::AudioProcessing::kNoError)
        std::memcpy(chunk, frame.data_, ChunkSamples * sizeof(qint16));
}

} // namespace Voice
