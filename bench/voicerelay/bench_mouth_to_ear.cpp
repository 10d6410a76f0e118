// Mouth-to-ear delay in class: the speaking student's engine, that client's
// relays, the classroom's voice relay, the listening client's relays and
// its engine, all on this machine. The engines read the microphone from and
// play into sound files, so the figure is the software path alone (the
// sound devices add their buffers, measured by voice_bench). Baseline in
// the same run: the two engines speaking to each other directly.
//
// The jitter buffer is the engine's own, adaptive from its minimum of one
// frame; on a clean loopback it stays there. Each run starts the speaker
// at another phase of the listener's 20 ms playout tick; the figures are the
// median and the 90th percentile over the runs. Target: median <= 80 ms.
//
// Run: build-<dir>/bin/bench_mouth_to_ear [runs]
#include "bench/report/figures.h"
#include "bench/voice/enginecalls.h"
#include "bench/voice/speechsignal.h"
#include "client/classroom/voice/voicerelays.h"
#include "protocol/clsremotesync.h"
#include "sim/core/voicerelay.h"
#include "voice/api/vocanaapi.h"
#include "voice/core/voiceformat.h"
#include "voice/core/wavreader.h"
#include "voice/core/wavwriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using BenchSpeech::speech;
using BenchSpeech::waveformLag;

namespace {

constexpr qint32 Loopback = 0x7F000001;

// One student's relays, registered with the classroom's relay under `key`,
// the microphone gate open as while holding the floor.
struct Student {
    clsRemoteSync remote;
    std::unique_ptr<ClassroomVoice::VoiceRelays> relays;

    Student(quint16 classroomPort, const QByteArray &key)
    {
        remote.setRemoteIP(u"127.0.0.1"_s);
        remote.setRemotePort(QString::number(classroomPort));
        relays = std::make_unique<ClassroomVoice::VoiceRelays>(
            ClassroomVoice::VoiceRelays::Deps{remote});
        relays->onClientKey(key, 16);
        relays->setSpeakOpen(true);
    }
};

struct Path {
    quint16 speakPort = 0; // where the speaker's engine sends
    quint16 listenPort = 0; // where the listener's engine listens
};

// Mouth (the speaker's file clock) to ear (the listener's file clock), ms.
double measureDelay(const EngineCalls &c, const QString &dir, const std::vector<qint16> &signal,
    const Path &path, int phaseMs)
{
    const QString speechPath = dir + u"/speech.wav"_s;
    const QString heardPath = dir + u"/heard.wav"_s;
    {
        Voice::WavWriter writer;
        writer.open(speechPath);
        writer.write(signal.data(), int(signal.size()));
    }
    const QByteArray mic = speechPath.toUtf8();
    const QByteArray play = heardPath.toUtf8();
    const VocanaWaveFiles speakerFiles{mic.constData(), nullptr};
    const VocanaWaveFiles listenerFiles{nullptr, play.constData()};
    c.init(201, "");
    c.init(202, "");
    c.setFiles(201, &speakerFiles);
    c.setFiles(202, &listenerFiles);

    QElapsedTimer clock;
    clock.start();
    const VocanaAddressRecord listen{0, 0, Loopback, path.listenPort};
    c.startListen(202, &listen);
    const qint64 listenStarted = clock.nsecsElapsed();
    if (phaseMs > 0)
        runFor(phaseMs);
    const VocanaAddressRecord speak{1, Vocana::LevelMessage, Loopback, path.speakPort};
    c.startSpeak(201, &speak);
    const qint64 speakStarted = clock.nsecsElapsed();
    runFor(int(signal.size() * 1000 / Voice::SampleRate) + 400);
    const int32_t zero = 0;
    c.stopSpeak(201, "");
    c.stopListen(202, &zero);
    c.release(201, &zero);
    c.release(202, &zero);

    QString error;
    const QList<qint16> heard = Voice::LoadWavAs48kMono(heardPath, &error);
    if (heard.isEmpty())
        return -1;
    const int lag = waveformLag(signal, heard, Voice::SampleRate / 4);
    return lag * 1000.0 / Voice::SampleRate - double(speakStarted - listenStarted) / 1e6;
}

struct Spread {
    double median = 0;
    double p90 = 0;
    double min = 0;
    double max = 0;
};

Spread measure(const EngineCalls &c, const QString &dir, const std::vector<qint16> &signal,
    const Path &path, int runs)
{
    std::vector<double> delays;
    for (int run = 0; run < runs; ++run) {
        const double d = measureDelay(c, dir, signal, path, (run * 7) % 20);
        if (d >= 0)
            delays.push_back(d);
    }
    if (delays.empty())
        return {};
    std::sort(delays.begin(), delays.end());
    const auto at = [&](double q) {
        return delays[std::min(
            delays.size() - 1, std::size_t(q * double(delays.size() - 1) + 0.5))];
    };
    return {at(0.5), at(0.9), delays.front(), delays.back()};
}

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 11;

    QLibrary library(
        QCoreApplication::applicationDirPath() + u"/"_s + QString::fromLatin1(Vocana::LibraryName));
    if (!library.load()) {
        std::fprintf(stderr, "cannot load the engine: %s\n", qPrintable(library.errorString()));
        return 1;
    }
    EngineCalls c;
    if (!c.resolve(library)) {
        std::fprintf(stderr, "the engine lacks one of its calls\n");
        return 1;
    }
    QTemporaryDir dir;
    const std::vector<qint16> signal = speech(100); // two seconds

    // The classroom's relay: two registered students, the first may speak.
    const QByteArray speakerKey = QByteArray(16, 'a');
    const QByteArray listenerKey = QByteArray(16, 'b');
    VoiceRelay classroom(
        {[&](const QByteArray &key) {
             return key.startsWith(speakerKey) ? 1 : key.startsWith(listenerKey) ? 2 : 0;
         },
            [](qint32 id) { return id == 1; }},
        [](const QJsonObject &) {});
    if (!classroom.bind(0)) {
        std::fprintf(stderr, "cannot bind the classroom's relay\n");
        return 1;
    }
    Student speaker(classroom.port(), speakerKey);
    Student listener(classroom.port(), listenerKey);
    QElapsedTimer waited;
    waited.start();
    while (!(classroom.isRegistered(1) && classroom.isRegistered(2)) && waited.elapsed() < 5000)
        runFor(10);
    if (!classroom.isRegistered(1) || !classroom.isRegistered(2)) {
        std::fprintf(stderr, "the students' relays did not register\n");
        return 1;
    }

    const quint16 direct = freePort();
    const Spread baseline = measure(c, dir.path(), signal, {direct, direct}, runs);
    const Spread relayed = measure(c, dir.path(), signal,
        {speaker.relays->LocalSpeakPort(), listener.relays->LocalListenPort()}, runs);
    // The classroom's relay as the demo runs it: every fifth packet waits
    // (at most 20 ms) to travel bundled with the next.
    classroom.setBundleEvery(5);
    const Spread bundled = measure(c, dir.path(), signal,
        {speaker.relays->LocalSpeakPort(), listener.relays->LocalListenPort()}, runs);

    std::printf("Mouth-to-ear delay, sound files, %d runs at playout phases 0-19 ms:\n", runs);
    const auto line = [](const char *what, const Spread &s) {
        std::printf("  %-58s median %5.1f ms  p90 %5.1f ms  (min %.1f, max %.1f)\n", what, s.median,
            s.p90, s.min, s.max);
    };
    line("engine to engine directly (baseline)", baseline);
    line("client relays, classroom relay, client relays", relayed);
    line("the same, the classroom relay bundling every fifth packet", bundled);
    std::printf("  relays add %.1f ms at the median; target median <= 80 ms: %s\n",
        relayed.median - baseline.median, relayed.median <= 80 ? "met" : "NOT met");
    std::printf("  forwarded by the classroom's relay: %lld datagrams\n",
        static_cast<long long>(classroom.forwardedDatagrams()));

    BenchFigures figures(u"mouth_to_ear"_s);
    figures.add(u"voice/mouth to ear/client, classroom relay, client"_s, u"median ms"_s,
        relayed.median, u"engine to engine"_s, baseline.median, BenchFigures::Target::ValueAtMost,
        80);
    figures.add(u"voice/mouth to ear/client, classroom relay, client"_s, u"p90 ms"_s, relayed.p90,
        u"engine to engine"_s, baseline.p90);
    figures.add(u"voice/mouth to ear/bundling relay"_s, u"median ms"_s, bundled.median,
        u"engine to engine"_s, baseline.median, BenchFigures::Target::ValueAtMost, 80);
    figures.add(u"voice/mouth to ear/bundling relay"_s, u"p90 ms"_s, bundled.p90,
        u"engine to engine"_s, baseline.p90);
    return relayed.median > 0 ? 0 : 1;
}
