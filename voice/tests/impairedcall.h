#pragma once

// One speaker heard by one listener across a poor network, on a simulated
// clock: the speaker's encoder, datagrams through NetworkImpairment, the
// listener's StreamMixer ticking every 20 ms. The speaker's expected loss
// follows the listener's statistics, as an engine's does from the class
// stream it hears. Shared by the unit tests and the benchmark so that both
// measure the same thing.
#include "voice/core/jitterbuffer.h"
#include "voice/core/networkimpairment.h"
#include "voice/core/streammixer.h"
#include "voice/core/voiceencoder.h"
#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"
#include "voice/tests/testspeech.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace ImpairedCall {

struct Result {
    QList<qint16> heard;
    double payloadKbits = 0; // voice datagrams as they leave the speaker, kbit/s
    int lastExpectedLoss = -1; // what the speaker's encoder was last told
};

// Transit time of a datagram on a good network.
inline constexpr int BaseDelayMs = 10;

// The network or the sender stops for a moment: the datagrams sent from
// `fromMs` for `lengthMs` all arrive together when it ends.
struct Stall {
    qint64 fromMs = 0;
    qint64 lengthMs = 0;
};

inline Result Run(const QList<qint16> &speech, const Voice::ImpairmentSettings &impairment,
    int tailFrames = 50, const std::vector<Stall> &stalls = {})
{
    Voice::VoiceEncoder encoder;
    Voice::StreamMixer mixer;
    Voice::NetworkImpairment network(impairment);
    Result result;

    const int frames = int(speech.size() / Voice::FrameSamples) + tailFrames;
    std::multimap<qint64, QByteArray> inFlight; // by arrival
    qint64 bytes = 0;
    quint16 sequence = 0;
    qint16 frame[Voice::FrameSamples];
    for (int f = 0; f < frames; ++f) {
        const qint64 now = qint64(f) * Voice::FrameMs;
        const qsizetype at = qsizetype(f) * Voice::FrameSamples;
        for (int i = 0; i < Voice::FrameSamples; ++i)
            frame[i] = at + i < speech.size() ? speech[at + i] : qint16(0);
        if (f % 50 == 0) {
            result.lastExpectedLoss = mixer.lossPercent();
            encoder.setExpectedLossPercent(result.lastExpectedLoss);
        }
        Voice::PacketHeader header;
        header.sequence = sequence++;
        header.streamId = 7;
        const QByteArray datagram = Voice::EncodeVoicePacket(header, encoder.encode(frame));
        bytes += datagram.size();
        if (const std::optional<int> delay = network.delayFor()) {
            qint64 arrival = now + BaseDelayMs + *delay;
            for (const Stall &stall : stalls) {
                if (now >= stall.fromMs && now < stall.fromMs + stall.lengthMs)
                    arrival = std::max(arrival, stall.fromMs + stall.lengthMs + BaseDelayMs);
            }
            inFlight.emplace(arrival, datagram);
        }

        // The listener's tick, half a frame out of phase with the speaker.
        const qint64 tick = now + Voice::FrameMs / 2;
        while (!inFlight.empty() && inFlight.begin()->first <= tick) {
            mixer.receive(inFlight.begin()->second, inFlight.begin()->first);
            inFlight.erase(inFlight.begin());
        }
        mixer.mixFrame(frame, tick);
        result.heard.append(QList<qint16>(frame, frame + Voice::FrameSamples));
    }
    result.payloadKbits = bytes * 8.0 / (frames * Voice::FrameMs);
    return result;
}

// How far `heard` lags `sent`, in ms, window by window where the sender
// speaks: the 10 ms envelopes place each window to within a block, the
// waveform to the sample. Pairs of the window's start in `sent` (s) and its
// delay.
inline std::vector<std::pair<double, double>> DelayByWindow(
    const QList<qint16> &sent, const QList<qint16> &heard, int windowBlocks, int maxLagBlocks)
{
    constexpr int Block = Voice::SampleRate / 100;
    const QList<double> a = TestSpeech::Envelope(sent, Block);
    const QList<double> b = TestSpeech::Envelope(heard, Block);
    const double active = *std::max_element(a.begin(), a.end()) / 10;
    std::vector<std::pair<double, double>> delays;
    for (qsizetype from = 0;
         from + windowBlocks + maxLagBlocks <= b.size() && from + windowBlocks <= a.size();
         from += windowBlocks) {
        const QList<double> part = a.mid(from, windowBlocks);
        if (std::count_if(part.begin(), part.end(), [&](double v) { return v >= active; })
            < windowBlocks / 2)
            continue;
        const TestSpeech::Alignment near
            = TestSpeech::Align(part, b.mid(from, windowBlocks + maxLagBlocks), maxLagBlocks);
        // To the sample on the waveform, on the first half of the window, in
        // steps of 8 samples and then of one; a window whose waveform is not
        // found there (concealment, a misplaced envelope) says nothing.
        const qsizetype at = from * Block;
        const auto match = [&](int l) {
            double ab = 0, aa = 0, bb = 0;
            for (qsizetype i = at; i < at + windowBlocks * Block / 2 && i + l < heard.size(); ++i) {
                ab += double(sent[i]) * heard[i + l];
                aa += double(sent[i]) * sent[i];
                bb += double(heard[i + l]) * heard[i + l];
            }
            return ab / std::sqrt(aa * bb + 1);
        };
        int lag = 0;
        double best = -1;
        for (int l = std::max(0, (near.lagBlocks - 1) * Block); l <= (near.lagBlocks + 1) * Block;
             l += 8) {
            if (const double r = match(l); r > best) {
                best = r;
                lag = l;
            }
        }
        for (int l = std::max(0, lag - 7); l <= lag + 7; ++l) {
            if (const double r = match(l); r > best) {
                best = r;
                lag = l;
            }
        }
        if (best >= 0.5)
            delays.emplace_back(double(from) / 100, double(lag) * 1000 / Voice::SampleRate);
    }
    return delays;
}

// One stall of the network or of the sender in mid-speech, and how the
// delay came back from it (400 ms windows of speech).
struct StallRecovery {
    double beforeMs = -1; // the last window before the stall
    double settledAfterMs = -1; // from the stall until every window is within 10 ms of before
    double highestMs = 0; // from the stall on
    double afterMs = -1; // the last window
    double calmAfterMs = -1; // the last window of the same call without the stall, if asked
    QList<qint16> heard;
};

inline StallRecovery RunStall(
    const QList<qint16> &speech, const Stall &stall, bool compareCalm = true)
{
    constexpr int WindowBlocks = 40;
    constexpr double SettledWithinMs = 10;
    StallRecovery r;
    r.heard = Run(speech, {}, 50, {stall}).heard;
    const auto delays = DelayByWindow(speech, r.heard, WindowBlocks, 30);
    const auto calm = compareCalm ? DelayByWindow(speech, Run(speech, {}).heard, WindowBlocks, 30)
                                  : decltype(delays)();
    for (const auto &[at, ms] : delays) {
        if (at * 1000 + WindowBlocks * 10 <= stall.fromMs) {
            r.beforeMs = ms;
            continue;
        }
        r.highestMs = std::max(r.highestMs, ms);
        if (ms > r.beforeMs + SettledWithinMs)
            r.settledAfterMs = -1;
        else if (r.settledAfterMs < 0 && at * 1000 > stall.fromMs)
            r.settledAfterMs = at * 1000 - double(stall.fromMs);
        r.afterMs = ms;
    }
    if (!calm.empty())
        r.calmAfterMs = calm.back().second;
    return r;
}

// A player of stand-in payloads: it honours each frame's request to play
// longer or shorter (up to half a frame, as the time-scaler does at most),
// where the mixer's time-scaler would wait for a pause for small ones.
// Pops every frame that starts before `untilMs`, from `nextStartMs` on,
// each frame of output taking `msPerFrame` of the caller's clock; calls
// `played(frame, startMs)` for each.
template <typename Played>
void PlayUntil(Voice::JitterBuffer &buffer, double &nextStartMs, double untilMs, double msPerFrame,
    Played played)
{
    while (nextStartMs < untilMs) {
        const Voice::PlayoutFrame frame = buffer.pop(qint64(nextStartMs));
        double stretch = 0;
        if (frame.action != Voice::PlayoutAction::Silence) {
            stretch = std::clamp(frame.stretchMs, -Voice::FrameMs / 2.0, Voice::FrameMs / 2.0);
            if (std::abs(stretch) < 1)
                stretch = 0;
            buffer.stretched(stretch);
        }
        played(frame, nextStartMs);
        nextStartMs += (Voice::FrameMs + stretch) * msPerFrame / Voice::FrameMs;
    }
}

// Plays `minutes` of a stream through the network into a jitter buffer,
// the speaker's clock running `speakerSkew` fast (slow when negative) and
// the listener's playout `listenerSkew` fast, against true time; the median
// delay from send to play of each minute, in ms of true time.
inline std::vector<double> DelayByMinute(double speakerSkew,
    const Voice::ImpairmentSettings &impairment, int minutes, double listenerSkew = 0)
{
    Voice::JitterBuffer buffer;
    Voice::NetworkImpairment network(impairment);
    std::multimap<double, qint64> inFlight;
    const double sendPeriod = Voice::FrameMs / (1 + speakerSkew);
    const double playPeriod = Voice::FrameMs / (1 + listenerSkew);
    qint64 sent = 0;
    double nextStart = 0;
    std::vector<double> medians;
    std::vector<double> delays;
    const qint64 ticks = qint64(minutes) * 60 * 1000 / Voice::FrameMs;
    const qint64 ticksPerMinute = 60 * 1000 / Voice::FrameMs;
    for (qint64 tick = 0; tick < ticks; ++tick) {
        const double now = double(tick) * playPeriod;
        for (; sent * sendPeriod <= now; ++sent) {
            if (const std::optional<int> delay = network.delayFor())
                inFlight.emplace(sent * sendPeriod + BaseDelayMs + *delay, sent);
        }
        while (!inFlight.empty() && inFlight.begin()->first <= now) {
            const qint64 index = inFlight.begin()->second;
            buffer.push(quint16(index), QByteArray::number(index), qint64(inFlight.begin()->first));
            inFlight.erase(inFlight.begin());
        }
        if (tick == 0)
            nextStart = now;
        PlayUntil(buffer, nextStart, now + playPeriod, playPeriod,
            [&](const Voice::PlayoutFrame &frame, double startMs) {
                if (frame.action == Voice::PlayoutAction::Decode)
                    delays.push_back(startMs - frame.payload.toLongLong() * sendPeriod);
            });
        if ((tick + 1) % ticksPerMinute == 0) {
            std::nth_element(
                delays.begin(), delays.begin() + qsizetype(delays.size() / 2), delays.end());
            medians.push_back(delays.empty() ? 0 : delays[delays.size() / 2]);
            delays.clear();
        }
    }
    return medians;
}

} // namespace ImpairedCall
