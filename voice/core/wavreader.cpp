#include "voice/core/wavreader.h"

#include "voice/core/voiceformat.h"

#include <QFile>

#include <speex/speex_resampler.h>

using namespace Qt::StringLiterals;

namespace Voice {

namespace {

quint32 le32(const char *p)
{
    return quint32(quint8(p[0])) | (quint32(quint8(p[1])) << 8) | (quint32(quint8(p[2])) << 16)
        | (quint32(quint8(p[3])) << 24);
}

quint16 le16(const char *p)
{
    return quint16(quint8(p[0]) | (quint16(quint8(p[1])) << 8));
}

constexpr quint16 FormatPcm = 1;
constexpr quint16 FormatExtensible = 0xfffe;

} // namespace

WavAudio ParseWav(QByteArrayView bytes, QString *error)
{
    WavAudio audio;
    error->clear();
    const char *p = bytes.data();
    const qsizetype size = bytes.size();
    if (size < 12 || QByteArrayView(p, 4) != "RIFF" || QByteArrayView(p + 8, 4) != "WAVE") {
        *error = u"not a RIFF/WAVE file"_s;
        return {};
    }
    bool haveFormat = false;
    int bits = 0;
    qsizetype offset = 12;
    while (offset + 8 <= size) {
        const QByteArrayView id(p + offset, 4);
        const quint32 declared = le32(p + offset + 4);
        const qsizetype body = offset + 8;
        const qsizetype available = std::min<qsizetype>(declared, size - body);
        if (id == "fmt ") {
            if (available < 16) {
                *error = u"format chunk too short"_s;
                return {};
            }
            const quint16 tag = le16(p + body);
            audio.channels = le16(p + body + 2);
            audio.sampleRate = int(le32(p + body + 4));
            bits = le16(p + body + 14);
            quint16 subFormat = tag;
            if (tag == FormatExtensible && available >= 26)
                subFormat = le16(p + body + 24);
            if (subFormat != FormatPcm || bits != 16) {
                *error = u"only 16-bit PCM is supported"_s;
                return {};
            }
            if (audio.channels < 1 || audio.channels > 8 || audio.sampleRate < 8000
                || audio.sampleRate > 192000) {
                *error = u"unsupported channel count or sample rate"_s;
                return {};
            }
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                *error = u"data chunk before format chunk"_s;
                return {};
            }
            const qsizetype frames = available / (2 * audio.channels);
            audio.samples.resize(frames * audio.channels);
            for (qsizetype i = 0; i < audio.samples.size(); ++i)
                audio.samples[i] = qint16(le16(p + body + 2 * i));
            return audio;
        }
        // Chunks are padded to an even size.
        offset = body + qsizetype(declared) + (declared & 1);
    }
    *error = haveFormat ? u"no data chunk"_s : u"no format chunk"_s;
    return {};
}

QList<qint16> LoadWavAs48kMono(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    const QByteArray bytes = file.readAll();
    const WavAudio audio = ParseWav(bytes, error);
    if (!error->isEmpty())
        return {};

    QList<qint16> mono(audio.samples.size() / audio.channels);
    for (qsizetype i = 0; i < mono.size(); ++i) {
        int sum = 0;
        for (int c = 0; c < audio.channels; ++c)
            sum += audio.samples[i * audio.channels + c];
        mono[i] = qint16(sum / audio.channels);
    }
    if (audio.sampleRate == SampleRate || mono.isEmpty())
        return mono;

    int status = 0;
    SpeexResamplerState *resampler = speex_resampler_init(1, spx_uint32_t(audio.sampleRate),
        spx_uint32_t(SampleRate), SPEEX_RESAMPLER_QUALITY_DEFAULT, &status);
    if (!resampler) {
        *error = u"resampler failed"_s;
        return {};
    }
    const qint64 expected = qint64(mono.size()) * SampleRate / audio.sampleRate;
    QList<qint16> out(expected + FrameSamples);
    spx_uint32_t inLength = spx_uint32_t(mono.size());
    spx_uint32_t outLength = spx_uint32_t(out.size());
    speex_resampler_process_int(resampler, 0, mono.constData(), &inLength, out.data(), &outLength);
    speex_resampler_destroy(resampler);
    out.resize(outLength);
    return out;
}

} // namespace Voice
