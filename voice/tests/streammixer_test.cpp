#include "voice/core/streammixer.h"

#include "fuzz/voice/receivepath.h"
#include "voice/core/voiceencoder.h"
#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace Voice;

namespace {

QByteArray tonePacket(VoiceEncoder &encoder, quint16 sequence, quint16 stream)
{
    std::vector<qint16> frame(FrameSamples);
    for (int i = 0; i < FrameSamples; ++i)
        frame[std::size_t(i)] = qint16(8000 * std::sin((sequence * FrameSamples + i) * 0.03));
    PacketHeader header;
    header.sequence = sequence;
    header.streamId = stream;
    return EncodeVoicePacket(header, encoder.encode(frame.data()));
}

double peak(const qint16 *frame)
{
    return PeakLevel(frame, FrameSamples);
}

TEST(StreamMixer, PlaysBundledPacketsCapsStreamsAndForgetsSilentOnes)
{
    VoiceEncoder encoder;
    StreamMixer mixer;
    qint16 out[FrameSamples];
    qint64 now = 0;
    // One stream, its packets bundled two to a datagram as a relay may send.
    double loudest = 0;
    for (quint16 s = 0; s < 20; s += 2) {
        mixer.receive(tonePacket(encoder, s, 7) + tonePacket(encoder, quint16(s + 1), 7), now);
        for (int f = 0; f < 2; ++f, now += FrameMs) {
            mixer.mixFrame(out, now);
            loudest = std::max(loudest, peak(out));
        }
    }
    EXPECT_GT(loudest, 2000);
    EXPECT_EQ(mixer.streamCount(), 1);

    // A flood of stream ids is capped.
    for (quint16 id = 100; id < 120; ++id)
        mixer.receive(tonePacket(encoder, 0, id), now);
    EXPECT_EQ(mixer.streamCount(), int(StreamMixer::MaxStreams));

    // Once silent beyond the idle time, every stream is forgotten.
    for (; now < 20 * FrameMs + StreamMixer::StreamIdleMs + 400; now += FrameMs)
        mixer.mixFrame(out, now);
    EXPECT_EQ(mixer.streamCount(), 0);
    EXPECT_EQ(peak(out), 0);
}

// Inputs the fuzzer keeps run again through the same path (under the
// sanitizers in their run).
TEST(StreamMixer, KeptFuzzInputsPlayThrough)
{
    const QDir corpus(QStringLiteral(LUMO_VOICE_CORPUS));
    const QStringList names = corpus.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty()) << "no kept inputs in " << qPrintable(corpus.path());
    for (const QString &name : names) {
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        const ReceivePath::Outcome outcome = ReceivePath::play(file.readAll());
        EXPECT_LE(outcome.streamsAtEnd, int(StreamMixer::MaxStreams)) << qPrintable(name);
    }
}

} // namespace
