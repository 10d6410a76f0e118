// The engine library as the host sees it: loaded by name, driven through its
// exported calls, two instances talking over loopback through a test relay.

#include "common/testsupport/testhome.h"
#include "voice/api/vocanaapi.h"
#include "voice/core/voiceencoder.h"
#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"
#include "voice/core/wavreader.h"
#include "voice/tests/envoverride.h"
#include "voice/tests/levelrecorder.h"
#include "voice/tests/testrelay.h"
#include "voice/tests/testspeech.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLibrary>
#include <QMediaDevices>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include <csignal>
#include <sys/types.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int32_t Loopback = 0x7F000001;
constexpr int EnvelopeBlock = 480; // 10 ms, the pace of syllables
constexpr int DropoutBlock = 240; // 5 ms

struct Engine {
    VocanaTextCall InitDLL = nullptr;
    VocanaRecordCall StartSpeak = nullptr;
    VocanaTextCall StopSpeak = nullptr;
    VocanaRecordCall StartListen = nullptr;
    VocanaNumberCall StopListen = nullptr;
    VocanaNumberCall ReleaseDLL = nullptr;
    VocanaWaveFilesCall SetWaveFiles = nullptr;
    VocanaNumberCall SetNoiseSuppression = nullptr;
    VocanaNumberCall SetEchoCancellation = nullptr;
    VocanaDeviceDelayCall GetDeviceDelay = nullptr;
    VocanaNotifierCall Notifier = nullptr;
};

Engine &engine()
{
    static Engine e = [] {
        static QLibrary library(QCoreApplication::applicationDirPath() + u"/"_s
            + QString::fromLatin1(Vocana::LibraryName));
        Engine calls;
        if (!library.load()) {
            ADD_FAILURE() << library.errorString().toStdString();
            return calls;
        }
        auto get = [&](const char *name) { return library.resolve(name); };
        calls.InitDLL = reinterpret_cast<VocanaTextCall>(get("InitDLL"));
        calls.StartSpeak = reinterpret_cast<VocanaRecordCall>(get("StartSpeak"));
        calls.StopSpeak = reinterpret_cast<VocanaTextCall>(get("StopSpeak"));
        calls.StartListen = reinterpret_cast<VocanaRecordCall>(get("StartListen"));
        calls.StopListen = reinterpret_cast<VocanaNumberCall>(get("StopListen"));
        calls.ReleaseDLL = reinterpret_cast<VocanaNumberCall>(get("ReleaseDLL"));
        calls.SetWaveFiles = reinterpret_cast<VocanaWaveFilesCall>(get("SetWaveFiles"));
        calls.SetNoiseSuppression = reinterpret_cast<VocanaNumberCall>(get("SetNoiseSuppression"));
        calls.SetEchoCancellation = reinterpret_cast<VocanaNumberCall>(get("SetEchoCancellation"));
        calls.GetDeviceDelay = reinterpret_cast<VocanaDeviceDelayCall>(get("GetDeviceDelay"));
        calls.Notifier = reinterpret_cast<VocanaNotifierCall>(get("VocanaNotifier"));
        return calls;
    }();
    return e;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

int32_t setFiles(int32_t instance, const QString &microphone, const QString &playback)
{
    const QByteArray mic = microphone.toUtf8();
    const QByteArray play = playback.toUtf8();
    const VocanaWaveFiles files{
        mic.isEmpty() ? nullptr : mic.constData(), play.isEmpty() ? nullptr : play.constData()};
    return engine().SetWaveFiles(instance, &files);
}

struct LoopbackResult {
    TestSpeech::Alignment alignment;
    double segmentedCorrelation = 0;
    double delayMs = 0;
    int longestDropoutMs = 0;
    int relayDropped = 0;
    int relayForwarded = 0;
    int relayDatagrams = 0;
    QList<LevelRecorder::Message> levels;
    qint64 speakingMs = 0; // from StartSpeak to StopSpeak
};

// Speaker (instance 1) → relay → listener (instance 2), the speech from a
// file, what the listener plays into another file.
LoopbackResult runLoopback(int dropPercent, bool bundlePairs)
{
    LoopbackResult result;
    QTemporaryDir dir;
    const QString speechPath = dir.filePath(u"speech.wav"_s);
    const QString heardPath = dir.filePath(u"heard.wav"_s);
    QString error;
    EXPECT_TRUE(TestSpeech::Make(speechPath, &error)) << error.toStdString();
    const QList<qint16> sent = Voice::LoadWavAs48kMono(speechPath, &error);
    EXPECT_FALSE(sent.isEmpty()) << error.toStdString();

    Engine &e = engine();
    EXPECT_EQ(e.InitDLL(1, ""), Vocana::Ok);
    EXPECT_EQ(e.InitDLL(2, ""), Vocana::Ok);
    EXPECT_EQ(setFiles(1, speechPath, {}), Vocana::Ok);
    EXPECT_EQ(setFiles(2, {}, heardPath), Vocana::Ok);

    // By name, as a host does: the engine's class is not linked here.
    LevelRecorder recorder;
    EXPECT_TRUE(QObject::connect(e.Notifier(), SIGNAL(WindowMessage(int, int, int, int)), &recorder,
        SLOT(record(int, int, int, int))));

    const quint16 listenPort = freePort();
    TestRelay relay(listenPort, dropPercent, bundlePairs);
    QElapsedTimer clock;
    clock.start();
    const VocanaAddressRecord listen{0, 0, Loopback, listenPort};
    EXPECT_EQ(e.StartListen(2, &listen), Vocana::Ok);
    const qint64 listenStarted = clock.elapsed();
    const VocanaAddressRecord speak{77, Vocana::LevelMessage, Loopback, relay.port()};
    EXPECT_EQ(e.StartSpeak(1, &speak), Vocana::Ok);
    const qint64 speakStarted = clock.elapsed();

    runFor(int(sent.size() * 1000 / Voice::SampleRate) + 700);

    EXPECT_EQ(e.StopSpeak(1, ""), Vocana::Ok);
    result.speakingMs = clock.elapsed() - speakStarted;
    const int32_t zero = 0;
    EXPECT_EQ(e.StopListen(2, &zero), Vocana::Ok);
    EXPECT_EQ(e.ReleaseDLL(1, &zero), Vocana::Ok);
    EXPECT_EQ(e.ReleaseDLL(2, &zero), Vocana::Ok);

    const QList<qint16> heard = Voice::LoadWavAs48kMono(heardPath, &error);
    EXPECT_FALSE(heard.isEmpty()) << error.toStdString();
    const QList<double> sentEnvelope = TestSpeech::Envelope(sent, EnvelopeBlock);
    const QList<double> heardEnvelope = TestSpeech::Envelope(heard, EnvelopeBlock);
    // The listener's file starts before the speaker's: the match lies at a
    // lag of the start gap plus the delay.
    result.alignment = TestSpeech::Align(sentEnvelope, heardEnvelope, 100);
    // One-second segments, each free to sit up to 40 ms off the overall lag.
    result.segmentedCorrelation = TestSpeech::SegmentedCorrelation(
        sentEnvelope, heardEnvelope, result.alignment.lagBlocks, 100, 4);
    const int lag = TestSpeech::RefineLag(
        sent, heard, result.alignment.lagBlocks * EnvelopeBlock, EnvelopeBlock);
    result.delayMs = lag * 1000.0 / Voice::SampleRate - double(speakStarted - listenStarted);
    const QList<double> sentFine = TestSpeech::Envelope(sent, DropoutBlock);
    const QList<double> heardFine
        = TestSpeech::Envelope(heard.mid(lag % DropoutBlock), DropoutBlock);
    result.longestDropoutMs
        = 5 * TestSpeech::LongestDropout(sentFine, heardFine, lag / DropoutBlock);
    result.relayDropped = relay.dropped();
    result.relayForwarded = relay.forwarded();
    result.relayDatagrams = relay.datagramsSent();
    // Reports still queued when speaking stopped arrive now.
    QCoreApplication::processEvents();
    result.levels = recorder.messages;
    return result;
}

} // namespace

class VoiceEngine : public ::testing::Test
{
protected:
    TestHome home;
};

TEST_F(VoiceEngine, SpeechArrivesIntactOverLoopback)
{
    const LoopbackResult r = runLoopback(0, false);
    std::cout << "clean loopback: envelope correlation " << r.segmentedCorrelation
              << ", mouth-to-ear delay " << r.delayMs << " ms\n";
    RecordProperty("delay_ms", int(r.delayMs));
    EXPECT_GT(r.segmentedCorrelation, 0.85);
    EXPECT_EQ(r.relayDropped, 0);
    EXPECT_EQ(r.longestDropoutMs, 0);
    // Engine share plus the timers' ticks, with room for a loaded machine.
    EXPECT_GT(r.delayMs, 20);
    EXPECT_LT(r.delayMs, 120);

    // A level report every five frames (the loudest of them), to the window
    // and message asked for, delivered on the host's thread: no more, or
    // the host's window is redrawn fifty times a second.
    EXPECT_GT(r.levels.size(), 10);
    EXPECT_LE(r.levels.size(), r.speakingMs / (5 * Voice::FrameMs) + 2);
    int loudest = 0;
    for (const LevelRecorder::Message &m : r.levels) {
        EXPECT_EQ(m.hWnd, 77);
        EXPECT_EQ(m.message, Vocana::LevelMessage);
        EXPECT_GE(m.lParam, 0);
        EXPECT_LE(m.lParam, Vocana::MaxLevel);
        EXPECT_TRUE(m.onMainThread);
        loudest = std::max(loudest, m.lParam);
    }
    EXPECT_GT(loudest, 3000);
}

TEST_F(VoiceEngine, TenPercentLossAndBundledPacketsStillPlayWithoutGaps)
{
    const LoopbackResult r = runLoopback(10, true);
    std::cout << "lossy loopback: " << r.relayDropped << " of " << r.relayDropped + r.relayForwarded
              << " dropped, " << r.relayDatagrams << " datagrams for " << r.relayForwarded
              << " packets; envelope correlation " << r.segmentedCorrelation << ", delay "
              << r.delayMs << " ms, longest dropout " << r.longestDropoutMs << " ms\n";
    RecordProperty("delay_ms", int(r.delayMs));
    ASSERT_GT(r.relayDropped, 0);
    // Most datagrams carried two packets, which the listener must split.
    EXPECT_LT(r.relayDatagrams, r.relayForwarded * 3 / 4);
    EXPECT_GT(r.segmentedCorrelation, 0.75);
    // Concealment fills every lost frame: no stretch of silence as long as a
    // frame (a silent frame spans at least three whole 5 ms blocks).
    EXPECT_LT(r.longestDropoutMs, 15);
    // The buffer may grow to ride out the bundling and a loaded machine.
    EXPECT_LT(r.delayMs, 300);
}

TEST_F(VoiceEngine, CallsCheckTheirInstanceAndArguments)
{
    Engine &e = engine();
    const int32_t zero = 0;
    const VocanaAddressRecord good{0, 0, Loopback, 9};
    // Nothing works before InitDLL or after ReleaseDLL.
    EXPECT_EQ(e.StartSpeak(40, &good), Vocana::NotInitialised);
    EXPECT_EQ(e.StopListen(40, &zero), Vocana::NotInitialised);
    EXPECT_EQ(e.ReleaseDLL(40, &zero), Vocana::NotInitialised);

    ASSERT_EQ(e.InitDLL(40, ""), Vocana::Ok);
    EXPECT_EQ(e.InitDLL(40, nullptr), Vocana::Ok); // a second InitDLL keeps the engine
    const VocanaAddressRecord bad[]
        = {{0, 0, 0, 8640}, {0, 0, Loopback, 0}, {0, 0, Loopback, 70000}, {0, 0, Loopback, -5}};
    for (const VocanaAddressRecord &record : bad) {
        EXPECT_EQ(e.StartSpeak(40, &record), Vocana::BadArgument) << record.port;
        EXPECT_EQ(e.StartListen(40, &record), Vocana::BadArgument) << record.port;
    }
    EXPECT_EQ(e.StartSpeak(40, nullptr), Vocana::BadArgument);
    EXPECT_EQ(e.StartListen(40, nullptr), Vocana::BadArgument);
    EXPECT_EQ(e.SetWaveFiles(40, nullptr), Vocana::BadArgument);

    // A missing microphone file fails the start, and says why in the log.
    EXPECT_EQ(setFiles(40, u"/nonexistent/mic.wav"_s, {}), Vocana::Ok);
    EXPECT_EQ(e.StartSpeak(40, &good), Vocana::FileFailed);
    EXPECT_TRUE(home.errorLog().contains("/nonexistent/mic.wav"));

    // A port somebody else holds cannot be listened on.
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, 0));
    const VocanaAddressRecord taken{0, 0, Loopback, holder.localPort()};
    EXPECT_EQ(e.StartListen(40, &taken), Vocana::SocketFailed);

    EXPECT_EQ(e.ReleaseDLL(40, &zero), Vocana::Ok);
    EXPECT_EQ(e.StopSpeak(40, ""), Vocana::NotInitialised);
}

TEST_F(VoiceEngine, StartAndStopAlternateAnyNumberOfTimes)
{
    QTemporaryDir dir;
    const QString speechPath = dir.filePath(u"speech.wav"_s);
    QString error;
    ASSERT_TRUE(TestSpeech::Make(speechPath, &error));
    Engine &e = engine();
    const int32_t zero = 0;
    ASSERT_EQ(e.InitDLL(41, ""), Vocana::Ok);
    ASSERT_EQ(setFiles(41, speechPath, dir.filePath(u"heard.wav"_s)), Vocana::Ok);

    QUdpSocket sink;
    ASSERT_TRUE(sink.bind(QHostAddress::LocalHost, 0));
    const quint16 listenPort = freePort();
    const VocanaAddressRecord speak{5, Vocana::LevelMessage, Loopback, sink.localPort()};
    const VocanaAddressRecord listen{0, 0, Loopback, listenPort};
    for (int round = 0; round < 10; ++round) {
        EXPECT_EQ(e.StartSpeak(41, &speak), Vocana::Ok) << round;
        // Listening restarted on the same port without a stop in between,
        // as a caller that skips StopListen does.
        EXPECT_EQ(e.StartListen(41, &listen), Vocana::Ok) << round;
        EXPECT_EQ(e.StartListen(41, &listen), Vocana::Ok) << round;
        runFor(30);
        EXPECT_EQ(e.StopSpeak(41, ""), Vocana::Ok) << round;
        EXPECT_EQ(e.StopListen(41, &zero), Vocana::Ok) << round;
        EXPECT_EQ(e.StopListen(41, &zero), Vocana::Ok) << round; // stopping twice is harmless
    }
    // Every start began a new stream: the stream ids seen differ.
    QSet<quint16> streams;
    while (sink.hasPendingDatagrams()) {
        const Voice::SplitDatagram split = Voice::SplitVoiceDatagram(sink.receiveDatagram().data());
        for (const Voice::VoicePacket &p : split.packets)
            streams.insert(p.header.streamId);
    }
    EXPECT_GE(streams.size(), 8);
    EXPECT_EQ(e.ReleaseDLL(41, &zero), Vocana::Ok);
}

TEST_F(VoiceEngine, ListeningForAPeerIgnoresOtherSenders)
{
    QTemporaryDir dir;
    const QString heardPath = dir.filePath(u"heard.wav"_s);
    Engine &e = engine();
    const int32_t zero = 0;
    ASSERT_EQ(e.InitDLL(42, ""), Vocana::Ok);
    ASSERT_EQ(setFiles(42, {}, heardPath), Vocana::Ok);
    // An address that is not this machine's is the peer the voice comes
    // from (a documentation network here, so it never is).
    const quint16 port = freePort();
    const VocanaAddressRecord peer{0, 0, qint32(0xCB007105), port}; // 203.0.113.5
    ASSERT_EQ(e.StartListen(42, &peer), Vocana::Ok);

    // Loud packets from the wrong sender (this host).
    Voice::VoiceEncoder encoder;
    std::vector<qint16> tone(Voice::FrameSamples);
    for (int i = 0; i < Voice::FrameSamples; ++i)
        tone[std::size_t(i)] = qint16(10000 * std::sin(i * 2 * M_PI * 440 / Voice::SampleRate));
    QUdpSocket sender;
    for (quint16 seq = 0; seq < 25; ++seq) {
        Voice::PacketHeader header;
        header.sequence = seq;
        header.streamId = 9;
        sender.writeDatagram(Voice::EncodeVoicePacket(header, encoder.encode(tone.data())),
            QHostAddress::LocalHost, port);
        runFor(20);
    }
    runFor(100);
    EXPECT_EQ(e.StopListen(42, &zero), Vocana::Ok);
    EXPECT_EQ(e.ReleaseDLL(42, &zero), Vocana::Ok);
    QString error;
    const QList<qint16> heard = Voice::LoadWavAs48kMono(heardPath, &error);
    ASSERT_GT(heard.size(), Voice::SampleRate / 4) << error.toStdString();
    EXPECT_EQ(Voice::PeakLevel(heard.constData(), int(heard.size())), 0);
}

TEST_F(VoiceEngine, TwoSpeakersOnOnePortAreMixed)
{
    // The teacher and the student holding the floor may talk at once; the
    // relay then delivers two streams to the same port.
    QTemporaryDir dir;
    const QString heardPath = dir.filePath(u"heard.wav"_s);
    Engine &e = engine();
    const int32_t zero = 0;
    ASSERT_EQ(e.InitDLL(43, ""), Vocana::Ok);
    ASSERT_EQ(setFiles(43, {}, heardPath), Vocana::Ok);
    const quint16 port = freePort();
    const VocanaAddressRecord listen{0, 0, Loopback, port};
    ASSERT_EQ(e.StartListen(43, &listen), Vocana::Ok);

    Voice::VoiceEncoder low, high;
    std::vector<qint16> a(Voice::FrameSamples), b(Voice::FrameSamples);
    QUdpSocket sender;
    for (quint16 seq = 0; seq < 40; ++seq) {
        for (int i = 0; i < Voice::FrameSamples; ++i) {
            const double t = double(seq * Voice::FrameSamples + i) / Voice::SampleRate;
            a[std::size_t(i)] = qint16(6000 * std::sin(2 * M_PI * 300 * t));
            b[std::size_t(i)] = qint16(6000 * std::sin(2 * M_PI * 1100 * t));
        }
        Voice::PacketHeader h1{seq, Voice::CodecOpus48kMono20ms, 0, 0, 1};
        Voice::PacketHeader h2{quint16(seq + 5000), Voice::CodecOpus48kMono20ms, 0, 0, 2};
        sender.writeDatagram(
            Voice::EncodeVoicePacket(h1, low.encode(a.data())), QHostAddress::LocalHost, port);
        sender.writeDatagram(
            Voice::EncodeVoicePacket(h2, high.encode(b.data())), QHostAddress::LocalHost, port);
        runFor(20);
    }
    runFor(100);
    EXPECT_EQ(e.StopListen(43, &zero), Vocana::Ok);
    EXPECT_EQ(e.ReleaseDLL(43, &zero), Vocana::Ok);

    QString error;
    const QList<qint16> heard = Voice::LoadWavAs48kMono(heardPath, &error);
    ASSERT_FALSE(heard.isEmpty()) << error.toStdString();
    // Goertzel power at both pitches over the loudest half second.
    auto power = [&](double frequency) {
        double best = 0;
        for (qsizetype start = 0; start + 24000 <= heard.size(); start += 4800) {
            const double w = 2 * std::cos(2 * M_PI * frequency / Voice::SampleRate);
            double s1 = 0, s2 = 0;
            for (qsizetype i = start; i < start + 24000; ++i) {
                const double s0 = heard[i] + w * s1 - s2;
                s2 = s1;
                s1 = s0;
            }
            best = std::max(best, s1 * s1 + s2 * s2 - w * s1 * s2);
        }
        return best;
    };
    const double p300 = power(300), p1100 = power(1100), p700 = power(700);
    EXPECT_GT(p300, 100 * p700);
    EXPECT_GT(p1100, 100 * p700);
}

TEST_F(VoiceEngine, SoundCardsOfTheSoundServer)
{
    if (QMediaDevices::audioInputs().isEmpty() || QMediaDevices::audioOutputs().isEmpty())
        GTEST_SKIP() << "no sound server with an input and an output";
    Engine &e = engine();
    const int32_t zero = 0;
    ASSERT_EQ(e.InitDLL(44, ""), Vocana::Ok);
    ASSERT_EQ(setFiles(44, {}, {}), Vocana::Ok); // the devices, whatever the environment says

    QUdpSocket sink;
    ASSERT_TRUE(sink.bind(QHostAddress::LocalHost, 0));
    const VocanaAddressRecord speak{6, Vocana::LevelMessage, Loopback, sink.localPort()};
    ASSERT_EQ(e.StartSpeak(44, &speak), Vocana::Ok);
    const VocanaAddressRecord listen{0, 0, Loopback, freePort()};
    EXPECT_EQ(e.StartListen(44, &listen), Vocana::Ok);

    // Half a second of microphone: about 25 packets in sequence.
    QList<quint16> sequences;
    QElapsedTimer clock;
    clock.start();
    while (sequences.size() < 20 && clock.elapsed() < 3000) {
        runFor(50);
        while (sink.hasPendingDatagrams()) {
            const auto split = Voice::SplitVoiceDatagram(sink.receiveDatagram().data());
            for (const Voice::VoicePacket &p : split.packets)
                sequences << p.header.sequence;
        }
    }
    // Both channels run on the sound server itself (not the fallback),
    // which tells their device delay.
    VocanaDeviceDelay delay{-2, -2};
    for (int i = 0; i < 100 && (delay.captureMs < 0 || delay.playbackMs < 0); ++i) {
        EXPECT_EQ(e.GetDeviceDelay(44, &delay), Vocana::Ok);
        runFor(20);
    }
    EXPECT_GE(delay.captureMs, 0);
    EXPECT_GE(delay.playbackMs, 0);
    EXPECT_EQ(e.StopSpeak(44, ""), Vocana::Ok);
    EXPECT_EQ(e.StopListen(44, &zero), Vocana::Ok);
    EXPECT_EQ(e.GetDeviceDelay(44, &delay), Vocana::Ok);
    EXPECT_EQ(delay.captureMs, -1);
    EXPECT_EQ(delay.playbackMs, -1);
    EXPECT_EQ(e.GetDeviceDelay(44, nullptr), Vocana::BadArgument);
    EXPECT_EQ(e.ReleaseDLL(44, &zero), Vocana::Ok);
    EXPECT_FALSE(home.errorLog().contains("no sound server"));
    ASSERT_GE(sequences.size(), 20);
    for (qsizetype i = 1; i < sequences.size(); ++i)
        EXPECT_EQ(quint16(sequences[i] - sequences[i - 1]), 1);
}

namespace {

bool haveSoundServer()
{
    return !QMediaDevices::audioInputs().isEmpty() && !QMediaDevices::audioOutputs().isEmpty();
}

// One engine plays speech from the network into the default sink and takes
// its microphone from that sink's monitor: the loudspeaker's sound comes back
// entire, a few ms late, as in a room without headphones. The mean level the
// engine reports for what it sends, over the last seconds.
double echoLevelSent(bool cancel, const QList<qint16> &speech)
{
    Engine &e = engine();
    const int32_t zero = 0;
    const EnvOverride microphone("PULSE_SOURCE", "@DEFAULT_MONITOR@");
    EXPECT_EQ(e.InitDLL(45, ""), Vocana::Ok);
    EXPECT_EQ(setFiles(45, {}, {}), Vocana::Ok);
    const int32_t on = cancel ? 1 : 0;
    EXPECT_EQ(e.SetEchoCancellation(45, &on), Vocana::Ok);
    LevelRecorder recorder;
    QObject::connect(e.Notifier(), SIGNAL(WindowMessage(int, int, int, int)), &recorder,
        SLOT(record(int, int, int, int)));

    QUdpSocket away; // where the engine's own voice goes
    EXPECT_TRUE(away.bind(QHostAddress::LocalHost, 0));
    const quint16 listenPort = freePort();
    const VocanaAddressRecord listen{0, 0, Loopback, listenPort};
    EXPECT_EQ(e.StartListen(45, &listen), Vocana::Ok);
    const VocanaAddressRecord speak{8, Vocana::LevelMessage, Loopback, away.localPort()};
    EXPECT_EQ(e.StartSpeak(45, &speak), Vocana::Ok);

    Voice::VoiceEncoder encoder;
    QUdpSocket teacher;
    QElapsedTimer clock;
    clock.start();
    const int frames = int(speech.size() / Voice::FrameSamples);
    qsizetype countFrom = -1;
    for (int f = 0; f < frames; ++f) {
        Voice::PacketHeader header;
        header.sequence = quint16(f);
        header.streamId = 3;
        teacher.writeDatagram(Voice::EncodeVoicePacket(header,
                                  encoder.encode(speech.constData() + f * Voice::FrameSamples)),
            QHostAddress::LocalHost, listenPort);
        if (f == frames - 150) // the last three seconds count
            countFrom = recorder.messages.size();
        const qint64 next = qint64(f + 1) * Voice::FrameMs;
        runFor(int(std::max<qint64>(1, next - clock.elapsed())));
    }
    EXPECT_EQ(e.StopSpeak(45, ""), Vocana::Ok);
    EXPECT_EQ(e.StopListen(45, &zero), Vocana::Ok);
    EXPECT_EQ(e.ReleaseDLL(45, &zero), Vocana::Ok);
    QCoreApplication::processEvents();
    double sum = 0;
    int count = 0;
    for (qsizetype i = std::max<qsizetype>(0, countFrom); i < recorder.messages.size(); ++i) {
        sum += recorder.messages[i].lParam;
        ++count;
    }
    EXPECT_GT(count, 20); // a report every 100 ms
    return count ? sum / count : 0;
}

} // namespace

TEST_F(VoiceEngine, TheLoudspeakersEchoIsNotSentBack)
{
    if (!haveSoundServer())
        GTEST_SKIP() << "no sound server with an input and an output";
    QTemporaryDir dir;
    const QString speechPath = dir.filePath(u"speech.wav"_s);
    QString error;
    ASSERT_TRUE(TestSpeech::Make(speechPath, &error)) << error.toStdString();
    QList<qint16> speech = Voice::LoadWavAs48kMono(speechPath, &error);
    // Ten seconds: the monitor's slow start, the canceller's adaptation,
    // three seconds to judge.
    const QList<qint16> once = speech;
    while (speech.size() < 10 * Voice::SampleRate)
        speech += once;
    speech.resize(10 * Voice::SampleRate);

    // A room loses some 10 dB between loudspeaker and microphone (70 % on
    // the server's cubic scale); the monitor as it is would be a microphone
    // glued to the speaker cone.
    const auto monitorVolume = [](const QString &volume) {
        return QProcess::execute(
            u"pactl"_s, {u"set-source-volume"_s, u"@DEFAULT_MONITOR@"_s, volume});
    };
    ASSERT_EQ(monitorVolume(u"70%"_s), 0);
    // The loudspeaker at full level, whatever an earlier test left it at.
    ASSERT_EQ(
        QProcess::execute(u"pactl"_s, {u"set-sink-volume"_s, u"@DEFAULT_SINK@"_s, u"100%"_s}), 0);
    const double open = echoLevelSent(false, speech);
    const double cancelled = echoLevelSent(true, speech);
    monitorVolume(u"100%"_s);
    std::cout << "mean level sent while the loudspeaker talks: canceller off " << open << ", on "
              << cancelled << "\n";
    EXPECT_GT(open, 500); // the echo really reaches the microphone
    // The wiring, not the canceller's figure (the unit test has that): the
    // playback reaches the canceller as its far end, at a delay it can use.
    EXPECT_LT(cancelled * 5, open);
}

TEST_F(VoiceEngine, WithoutASoundServerTheStartSaysSoAndFallsBack)
{
    QTemporaryDir dir;
    const EnvOverride server("PULSE_SERVER", "unix:" + dir.filePath(u"nobody"_s).toUtf8());
    Engine &e = engine();
    const int32_t zero = 0;
    ASSERT_EQ(e.InitDLL(46, ""), Vocana::Ok);
    ASSERT_EQ(setFiles(46, {}, {}), Vocana::Ok);
    QUdpSocket sink;
    ASSERT_TRUE(sink.bind(QHostAddress::LocalHost, 0));
    const VocanaAddressRecord speak{6, Vocana::LevelMessage, Loopback, sink.localPort()};
    const VocanaAddressRecord listen{0, 0, Loopback, freePort()};
    QElapsedTimer clock;
    clock.start();
    // Qt Multimedia may still reach devices of its own (it has its own
    // connection); either it does or the start says the audio is missing.
    const int32_t spoke = e.StartSpeak(46, &speak);
    const int32_t listened = e.StartListen(46, &listen);
    EXPECT_TRUE(spoke == Vocana::Ok || spoke == Vocana::AudioUnavailable) << spoke;
    EXPECT_TRUE(listened == Vocana::Ok || listened == Vocana::AudioUnavailable) << listened;
    EXPECT_LT(clock.elapsed(), 3000);
    // The streams start without waiting for the server: the fallback comes
    // as the refusal does.
    const auto fellBack = [&] {
        return home.errorLog().count("no sound server, trying the multimedia devices") >= 2;
    };
    while (!fellBack() && clock.elapsed() < 5000)
        runFor(20);
    VocanaDeviceDelay delay{};
    EXPECT_EQ(e.GetDeviceDelay(46, &delay), Vocana::Ok);
    EXPECT_EQ(delay.captureMs, -1);
    EXPECT_EQ(delay.playbackMs, -1);
    EXPECT_EQ(e.StopSpeak(46, ""), Vocana::Ok);
    EXPECT_EQ(e.StopListen(46, &zero), Vocana::Ok);
    EXPECT_EQ(e.ReleaseDLL(46, &zero), Vocana::Ok);
    const QByteArray log = home.errorLog();
    EXPECT_TRUE(log.contains("no sound server, trying the multimedia devices"))
        << log.toStdString();
}

namespace {

QString pactl(const QStringList &arguments)
{
    QProcess process;
    process.start(u"pactl"_s, arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The index of the sink our playback stream ("class voice") plays on, or -1.
int sinkOfOurPlayback()
{
    const QStringList blocks = pactl({u"list"_s, u"sink-inputs"_s}).split(u"Sink Input #"_s);
    for (const QString &block : blocks) {
        if (!block.contains(u"media.name = \"class voice\""_s))
            continue;
        for (const QString &line : block.split(u'\n')) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(u"Sink: "_s))
                return trimmed.mid(6).toInt();
        }
    }
    return -1;
}

int sinkIndex(const QString &name)
{
    for (const QString &line : pactl({u"list"_s, u"short"_s, u"sinks"_s}).split(u'\n')) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() > 1 && fields[1] == name)
            return fields[0].toInt();
    }
    return -1;
}

} // namespace

TEST_F(VoiceEngine, LoudspeakerChosenSwitchedAndLostFallsBackToTheDefault)
{
    if (!haveSoundServer())
        GTEST_SKIP() << "no sound server with an input and an output";
    Engine &e = engine();
    QLibrary library(
        QCoreApplication::applicationDirPath() + u"/"_s + QString::fromLatin1(Vocana::LibraryName));
    const auto list = reinterpret_cast<VocanaDeviceListCall>(library.resolve("GetAudioDevices"));
    const auto choose
        = reinterpret_cast<VocanaAudioDevicesCall>(library.resolve("SetAudioDevices"));
    const auto watch = reinterpret_cast<VocanaRecordCall>(library.resolve("WatchAudioDevices"));
    ASSERT_TRUE(list && choose && watch);
    const int32_t zero = 0;
    ASSERT_EQ(e.InitDLL(47, ""), Vocana::Ok);
    ASSERT_EQ(setFiles(47, {}, {}), Vocana::Ok);

    // Watching the list: a loudspeaker plugged in is told to the host.
    constexpr int32_t DevicesChanged = 903;
    LevelRecorder recorder;
    QObject::connect(e.Notifier(), SIGNAL(WindowMessage(int, int, int, int)), &recorder,
        SLOT(record(int, int, int, int)));
    const auto changes = [&] {
        return std::count_if(recorder.messages.begin(), recorder.messages.end(),
            [](const LevelRecorder::Message &m) { return m.message == DevicesChanged; });
    };
    const VocanaAddressRecord watching{12, DevicesChanged, 0, 0};
    ASSERT_EQ(watch(47, &watching), Vocana::Ok);
    const QString module
        = pactl({u"load-module"_s, u"module-null-sink"_s, u"sink_name=lumo_test_speaker"_s})
              .trimmed();
    ASSERT_FALSE(module.isEmpty());
    QElapsedTimer watched;
    watched.start();
    while (changes() == 0 && watched.elapsed() < 3000)
        runFor(20);
    EXPECT_GT(changes(), 0);
    for (const LevelRecorder::Message &m : recorder.messages) {
        if (m.message == DevicesChanged) {
            EXPECT_EQ(m.hWnd, 12);
            EXPECT_TRUE(m.onMainThread);
        }
    }
    const auto plugged = changes();

    // The list: the new loudspeaker among the others, whole lines only.
    VocanaDeviceList tooSmall{nullptr, 0, 0};
    EXPECT_EQ(list(47, &tooSmall), Vocana::BufferTooSmall);
    ASSERT_GT(tooSmall.length, 0);
    QByteArray text(tooSmall.length + 1, '\0');
    VocanaDeviceList room{text.data(), int32_t(text.size()), 0};
    ASSERT_EQ(list(47, &room), Vocana::Ok);
    EXPECT_EQ(room.length, tooSmall.length);
    EXPECT_TRUE(text.contains("out\tlumo_test_speaker\t")) << text.constData();
    EXPECT_TRUE(text.contains("in\t")) << text.constData();
    EXPECT_FALSE(text.contains(".monitor\t")) << text.constData();

    // Chosen before the start, switched to the default and back while
    // playing.
    const VocanaAudioDevices chosen{nullptr, "lumo_test_speaker"};
    const VocanaAudioDevices defaults{nullptr, nullptr};
    // The calls return before the server has answered: each switch is
    // waited for, within the 200 ms a switch may take and the server's
    // round trips under load.
    const auto playbackOn = [](const auto &wanted) {
        QElapsedTimer waited;
        waited.start();
        while (!wanted(sinkOfOurPlayback()) && waited.elapsed() < 2000)
            runFor(20);
        return sinkOfOurPlayback();
    };
    ASSERT_EQ(choose(47, &chosen), Vocana::Ok);
    const VocanaAddressRecord listen{0, 0, Loopback, freePort()};
    ASSERT_EQ(e.StartListen(47, &listen), Vocana::Ok);
    const int ours = sinkIndex(u"lumo_test_speaker"_s);
    EXPECT_EQ(playbackOn([&](int sink) { return sink == ours; }), ours);
    ASSERT_EQ(choose(47, &defaults), Vocana::Ok);
    const int other = playbackOn([&](int sink) { return sink != ours && sink != -1; });
    EXPECT_NE(other, ours);
    EXPECT_NE(other, -1);
    ASSERT_EQ(choose(47, &chosen), Vocana::Ok);
    EXPECT_EQ(playbackOn([&](int sink) { return sink == ours; }), ours);

    // The chosen loudspeaker goes away: playback carries on on the default
    // one, and the log says so.
    pactl({u"unload-module"_s, module});
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000
        && (sinkOfOurPlayback() == -1 || !home.errorLog().contains("lumo_test_speaker gone")))
        runFor(50);
    EXPECT_NE(sinkOfOurPlayback(), -1);
    EXPECT_TRUE(home.errorLog().contains("lumo_test_speaker gone"))
        << home.errorLog().toStdString();
    // ... and its going too; once the watch is stopped, nothing more.
    runFor(200);
    EXPECT_GT(changes(), plugged);
    const VocanaAddressRecord notWatching{0, 0, 0, 0};
    EXPECT_EQ(watch(47, &notWatching), Vocana::Ok);
    runFor(50);
    const auto stopped = changes();
    pactl({u"unload-module"_s,
        pactl({u"load-module"_s, u"module-null-sink"_s, u"sink_name=lumo_test_other"_s})
            .trimmed()});
    runFor(300);
    EXPECT_EQ(changes(), stopped);

    // A name the server does not know: the default one, said in the log.
    const VocanaAudioDevices unknown{nullptr, "no_such_speaker"};
    EXPECT_EQ(choose(47, &unknown), Vocana::Ok);
    QElapsedTimer refused;
    refused.start();
    while (!home.errorLog().contains("no_such_speaker") && refused.elapsed() < 3000)
        runFor(20);
    EXPECT_TRUE(home.errorLog().contains("no_such_speaker")) << home.errorLog().toStdString();
    EXPECT_NE(playbackOn([](int sink) { return sink != -1; }), -1);

    EXPECT_EQ(e.StopListen(47, &zero), Vocana::Ok);
    EXPECT_EQ(e.ReleaseDLL(47, &zero), Vocana::Ok);
    EXPECT_EQ(choose(47, &defaults), Vocana::NotInitialised);
}

namespace {

// A PulseAudio daemon of the test's own, with a null sink and a null
// source, reached at its own socket: it can be stopped and continued without
// touching the server other tests use.
class OwnSoundServer
{
public:
    OwnSoundServer()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.filePath(u"runtime"_s));
        env.insert(u"HOME"_s, m_dir.path());
        env.remove(u"PULSE_SERVER"_s);
        // Off the session bus, where the server the other tests use holds
        // the name a second one would ask for.
        env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
        env.remove(u"DISPLAY"_s);
        QDir(m_dir.path()).mkpath(u"runtime"_s);
        QFile::setPermissions(
            m_dir.filePath(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_socket = m_dir.filePath(u"native"_s);
        m_daemon.setProcessEnvironment(env);
        m_daemon.start(u"pulseaudio"_s,
            {u"--daemonize=no"_s, u"-n"_s, u"--exit-idle-time=-1"_s, u"--disallow-exit"_s,
                u"--load=module-null-sink"_s, u"--load=module-null-source"_s,
                u"--load=module-native-protocol-unix socket="_s + m_socket});
        m_daemon.waitForStarted(5000);
    }
    ~OwnSoundServer()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_daemon.processId()), SIGCONT);
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }

    // Whether it answers on its socket within `ms`.
    bool answers(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms && m_daemon.state() == QProcess::Running) {
            QProcess pactl;
            pactl.start(u"pactl"_s, {u"-s"_s, m_socket, u"info"_s});
            if (pactl.waitForFinished(2000) && pactl.exitStatus() == QProcess::NormalExit
                && pactl.exitCode() == 0)
                return true;
            runFor(100);
        }
        return false;
    }
    QByteArray address() const { return "unix:" + m_socket.toUtf8(); }
    void hang() { ::kill(pid_t(m_daemon.processId()), SIGSTOP); }
    void resume() { ::kill(pid_t(m_daemon.processId()), SIGCONT); }

private:
    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_daemon;
};

} // namespace

// A sound server that hangs (stopped, as a debugger or a stuck daemon would
// leave it) as the student enters a class and while she speaks: the engine's
// calls still return at once, the streams wait for the server rather than
// give up on it or go to the other audio path (which would hang on the same
// server), and the voice comes back when the server does.
TEST_F(VoiceEngine, ASoundServerThatHangsNeverHoldsTheCallsUp)
{
    if (QStandardPaths::findExecutable(u"pulseaudio"_s).isEmpty())
        GTEST_SKIP() << "no pulseaudio to run a server of the test's own";
    OwnSoundServer server;
    if (!server.answers(5000))
        GTEST_SKIP() << "the test's own sound server did not start";
    const EnvOverride pointed("PULSE_SERVER", server.address());
    Engine &e = engine();
    const int32_t zero = 0;
    QUdpSocket sink;
    ASSERT_TRUE(sink.bind(QHostAddress::LocalHost, 0));
    const VocanaAddressRecord speak{6, Vocana::LevelMessage, Loopback, sink.localPort()};
    const VocanaAddressRecord listen{0, 0, Loopback, freePort()};
    // Each call is the worker's bookkeeping only: far below the server's
    // 3 s answer limit, every one of them.
    QElapsedTimer call;
    qint64 slowest = 0;
    const auto timed = [&](int32_t result) {
        slowest = std::max(slowest, call.restart());
        return result;
    };

    // Entering the class with the server hung (in a process whose media
    // back end has not met the server yet, when run on its own).
    server.hang();
    call.start();
    ASSERT_EQ(timed(e.InitDLL(48, "")), Vocana::Ok);
    ASSERT_EQ(timed(setFiles(48, {}, {})), Vocana::Ok);
    EXPECT_EQ(timed(e.StartListen(48, &listen)), Vocana::Ok);
    EXPECT_EQ(timed(e.StartSpeak(48, &speak)), Vocana::Ok);
    EXPECT_LT(slowest, 1000);

    // The host's thread turns all the while: a timer of it keeps its pace
    // through the server's answer limit and the first retries.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    runFor(4000);
    EXPECT_GT(ticks, 60);
    const QByteArray stalled = home.errorLog();
    EXPECT_EQ(stalled.count("no answer in 3000 ms; trying again"), 2) << stalled.toStdString();
    EXPECT_FALSE(stalled.contains("multimedia devices")) << stalled.toStdString();

    // The server comes back: so does the voice, on it.
    const auto bothRunning = [&](int ms) {
        QElapsedTimer clock;
        clock.start();
        VocanaDeviceDelay delay{-1, -1};
        while (clock.elapsed() < ms) {
            EXPECT_EQ(e.GetDeviceDelay(48, &delay), Vocana::Ok);
            if (delay.captureMs >= 0 && delay.playbackMs >= 0)
                return true;
            runFor(20);
        }
        return false;
    };
    server.resume();
    EXPECT_TRUE(bothRunning(8000));
    EXPECT_EQ(home.errorLog().count("sound server answers again"), 2)
        << home.errorLog().toStdString();
    while (sink.hasPendingDatagrams())
        sink.receiveDatagram();
    QElapsedTimer heard;
    heard.start();
    while (!sink.hasPendingDatagrams() && heard.elapsed() < 2000)
        runFor(20);
    EXPECT_TRUE(sink.hasPendingDatagrams());

    // It hangs again while she speaks; she stops and speaks again, leaves
    // the class.
    server.hang();
    slowest = 0;
    call.restart();
    EXPECT_EQ(timed(e.StopSpeak(48, "")), Vocana::Ok);
    EXPECT_EQ(timed(e.StartSpeak(48, &speak)), Vocana::Ok);
    EXPECT_EQ(timed(e.StopListen(48, &zero)), Vocana::Ok);
    EXPECT_EQ(timed(e.StartListen(48, &listen)), Vocana::Ok);
    VocanaDeviceDelay delay{};
    EXPECT_EQ(timed(e.GetDeviceDelay(48, &delay)), Vocana::Ok);
    EXPECT_EQ(delay.captureMs, -1);
    EXPECT_EQ(delay.playbackMs, -1);
    runFor(500);
    call.restart();
    EXPECT_EQ(timed(e.ReleaseDLL(48, &zero)), Vocana::Ok);
    EXPECT_LT(slowest, 1000);
}
