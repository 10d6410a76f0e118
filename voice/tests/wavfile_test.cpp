#include "voice/core/voiceformat.h"
#include "voice/core/wavreader.h"
#include "voice/core/wavwriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace Voice;

namespace {

QByteArray wavBytes(int rate, int channels, int bits, const QList<qint16> &samples,
    quint16 formatTag = 1, qint64 declaredData = -1)
{
    QByteArray fmt(16, '\0');
    qToLittleEndian<quint16>(formatTag, fmt.data());
    qToLittleEndian<quint16>(quint16(channels), fmt.data() + 2);
    qToLittleEndian<quint32>(quint32(rate), fmt.data() + 4);
    qToLittleEndian<quint32>(quint32(rate * channels * bits / 8), fmt.data() + 8);
    qToLittleEndian<quint16>(quint16(channels * bits / 8), fmt.data() + 12);
    qToLittleEndian<quint16>(quint16(bits), fmt.data() + 14);
    QByteArray data(samples.size() * 2, '\0');
    if (!samples.isEmpty())
        qToLittleEndian<qint16>(samples.constData(), samples.size(), data.data());
    auto chunk = [](const char *id, const QByteArray &body, qint64 declared) {
        QByteArray c(id, 4);
        QByteArray size(4, '\0');
        qToLittleEndian<quint32>(quint32(declared < 0 ? body.size() : declared), size.data());
        return c + size + body;
    };
    // An odd-sized chunk before the format one, which readers must skip
    // with its pad byte.
    const QByteArray list = chunk("LIST", QByteArray("abc", 3), -1) + QByteArray(1, '\0');
    const QByteArray body
        = QByteArray("WAVE") + list + chunk("fmt ", fmt, -1) + chunk("data", data, declaredData);
    QByteArray size(4, '\0');
    qToLittleEndian<quint32>(quint32(body.size()), size.data());
    return QByteArray("RIFF") + size + body;
}

} // namespace

TEST(WavFile, WriterOutputReadsBackSampleForSample)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.wav"_s);
    QList<qint16> samples;
    for (int i = 0; i < SampleRate * 2 + 17; ++i)
        samples << qint16((i * 37) % 65536 - 32768);
    {
        WavWriter writer;
        ASSERT_TRUE(writer.open(path));
        for (qsizetype at = 0; at < samples.size(); at += 1000)
            ASSERT_TRUE(writer.write(
                samples.constData() + at, int(std::min<qsizetype>(1000, samples.size() - at))));
    }
    QString error;
    EXPECT_EQ(LoadWavAs48kMono(path, &error), samples);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
}

TEST(WavFile, HeaderIsUsableWhileStillWriting)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"live.wav"_s);
    WavWriter writer;
    ASSERT_TRUE(writer.open(path));
    const QList<qint16> second(SampleRate, 99);
    writer.write(second.constData(), int(second.size()));
    writer.write(second.constData(), 100);
    // Not closed: the last header update covers at least the first second.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 40), quint32(SampleRate * 2));
}

TEST(WavFile, StereoAt22050IsMixedAndResampled)
{
    QList<qint16> stereo;
    const int frames = 22050; // one second
    for (int i = 0; i < frames; ++i) {
        const auto v = qint16(10000 * std::sin(2 * M_PI * 440 * i / 22050.0));
        stereo << v << qint16(v / 2);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"in.wav"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wavBytes(22050, 2, 16, stereo));
    file.close();

    QString error;
    const QList<qint16> mono = LoadWavAs48kMono(path, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_NEAR(double(mono.size()), double(SampleRate), 960);
    // The average of the two channels: a 440 Hz tone of amplitude 7500.
    int peak = 0;
    for (qsizetype i = 4800; i < mono.size() - 4800; ++i)
        peak = std::max(peak, std::abs(int(mono[i])));
    EXPECT_NEAR(peak, 7500, 400);
}

struct BadWavCase {
    const char *name;
    QByteArray bytes;
};

class BadWavTest : public ::testing::TestWithParam<BadWavCase>
{
};

TEST_P(BadWavTest, IsRefusedWithAReason)
{
    QString error;
    const WavAudio audio = ParseWav(GetParam().bytes, &error);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(audio.samples.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Files, BadWavTest,
    ::testing::Values(BadWavCase{"not_riff", QByteArray("RIFX\0\0\0\0WAVE", 12)},
        BadWavCase{"too_short", QByteArray("RIFF")},
        BadWavCase{"eight_bit", wavBytes(8000, 1, 8, {1, 2})},
        BadWavCase{"float", wavBytes(48000, 1, 16, {1, 2}, 3)},
        BadWavCase{"no_channels", wavBytes(48000, 0, 16, {1, 2})},
        BadWavCase{"absurd_rate", wavBytes(1, 1, 16, {1, 2})},
        BadWavCase{"no_data", wavBytes(48000, 1, 16, {}).left(48)}),
    [](const ::testing::TestParamInfo<BadWavCase> &row) { return std::string(row.param.name); });

TEST(WavFile, DataChunkLongerThanTheFileYieldsWhatIsThere)
{
    QString error;
    const WavAudio audio = ParseWav(wavBytes(48000, 1, 16, {1, 2, 3}, 1, 0x7fffffff), &error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(audio.samples, (QList<qint16>{1, 2, 3}));
}
