// The engine library as the host sees it: loaded by name, driven through its
// exported calls, two instances talking over loopback through a test relay.

#include "levelrecorder.h"
#include "testhome.h"
#include "testrelay.h"
#include "testspeech.h"
#include "vocanaapi.h"
#include "voiceformat.h"
#include "voicepacket.h"
#include "wavreader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLibrary>
#include <QMediaDevices>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <iostream>

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
    double delayMs = 0;
    int longestDropoutMs = 0;
    int relayDropped = 0;
    int relayForwarded = 0;
    int relayDatagrams = 0;
    QList<LevelRecorder::Message> levels;
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
    std::cout << "clean loopback: envelope correlation " << r.alignment.correlation
              << ", mouth-to-ear delay " << r.delayMs << " ms\n";
    RecordProperty("delay_ms", int(r.delayMs));
    EXPECT_GT(r.alignment.correlation, 0.9);
    EXPECT_EQ(r.relayDropped, 0);
    EXPECT_EQ(r.longestDropoutMs, 0);
    // Engine share plus the timers' tick: well under a tenth of a second.
    EXPECT_GT(r.delayMs, 20);
    EXPECT_LT(r.delayMs, 100);

    // One level report per 20 ms frame, to the window and message asked for,
    // delivered on the host's thread.
    EXPECT_GT(r.levels.size(), 50);
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
              << " packets; envelope correlation " << r.alignment.correlation << ", delay "
              << r.delayMs << " ms, longest dropout " << r.longestDropoutMs << " ms\n";
    RecordProperty("delay_ms", int(r.delayMs));
    ASSERT_GT(r.relayDropped, 0);
    // Most datagrams carried two packets, which the listener must split.
    EXPECT_LT(r.relayDatagrams, r.relayForwarded * 3 / 4);
    EXPECT_GT(r.alignment.correlation, 0.8);
    // Concealment fills every lost frame: no stretch of silence as long as a
    // frame (a silent frame spans at least three whole 5 ms blocks).
    EXPECT_LT(r.longestDropoutMs, 15);
    EXPECT_LT(r.delayMs, 160);
}
