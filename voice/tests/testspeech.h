#pragma once

#include <QList>
#include <QString>

// Test speech and the measures that compare what was sent with what was
// heard.
namespace TestSpeech {

// Writes a spoken sentence (espeak-ng) or, where it is missing, a
// speech-like signal of voiced bursts and pauses, to `path`.
bool Make(const QString &path, QString *error);

// RMS per block of `blockSamples`.
QList<double> Envelope(const QList<qint16> &samples, int blockSamples);

struct Alignment {
    int lagBlocks = 0; // how far `heard` lags `sent`
    double correlation = 0; // of the two envelopes (in dB) at that lag
};

// Best match of the envelopes, `heard` shifted by 0..maxLagBlocks; only the
// blocks where `sent` has something to say count.
Alignment Align(const QList<double> &sent, const QList<double> &heard, int maxLagBlocks);

// Correlation of the envelopes taken one segment at a time, each at its own
// best lag within `slackBlocks` of `lagBlocks`, averaged: an adaptive jitter
// buffer may change the delay by a frame in mid-sentence, which is no fault.
double SegmentedCorrelation(const QList<double> &sent, const QList<double> &heard, int lagBlocks,
    int segmentBlocks, int slackBlocks);

// The lag in samples, to the sample, near `coarseLag`: the best waveform
// correlation within `search` samples either side.
int RefineLag(const QList<qint16> &sent, const QList<qint16> &heard, int coarseLag, int search);

// Longest run of blocks where the sender was speaking and the listener
// heard digital silence, at the given lag.
int LongestDropout(const QList<double> &sent, const QList<double> &heard, int lagBlocks);

} // namespace TestSpeech
