#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace Voice {

struct WavAudio {
    int sampleRate = 0;
    int channels = 0;
    QList<qint16> samples; // interleaved
};

// Reads 16-bit PCM RIFF/WAVE data (plain or extensible format). Chunk sizes
// are checked against the data present; a data chunk cut short (a recording
// that was not closed) yields what is there. Empty `error` means success.
LUMOVOICECORE_EXPORT WavAudio ParseWav(QByteArrayView bytes, QString *error);

// The file as 48 kHz mono: channels averaged, other rates resampled.
LUMOVOICECORE_EXPORT QList<qint16> LoadWavAs48kMono(const QString &path, QString *error);

} // namespace Voice
