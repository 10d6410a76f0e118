// Voice in class with the real programs: two LumoStudent processes, each
// going out from its own loopback address, their voice engines reading the
// microphone from and playing into WAV files (or, once, the sound server's
// devices), against lumo-classroom-sim with its console (the teacher's
// commands, a classmate who forges notes, the voice relay's counters).
#include "client/shell/tests/programrun.h"
#include "voice/core/voiceformat.h"
#include "voice/core/wavreader.h"
#include "voice/core/wavwriter.h"
#include "voice/pulse/pulsestream.h"
#include "voice/tests/nullsink.h"
#include "voice/tests/testspeech.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <iostream>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

constexpr int EnvelopeBlock = 480; // 10 ms
constexpr qint32 Ann = 1001; // "demo"
constexpr qint32 Bob = 1004; // "guest"
constexpr qint32 Forger = 1002; // a scripted classmate
const QString AnnAddress = u"127.0.0.2"_s;
const QString BobAddress = u"127.0.0.3"_s;
const QString ForgedAddress = u"127.0.0.4"_s;

class VoiceE2e : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *program : {"LumoStudent", "lumo-classroom-sim", "libVocana.so"})
            if (!QFile::exists(ProgramRun::binFolder() + QString::fromLatin1(program)))
                GTEST_SKIP() << program << " not built";
        ASSERT_TRUE(dir.isValid());
        QUdpSocket probe;
        if (!probe.bind(QHostAddress(BobAddress), 0))
            GTEST_SKIP() << "no loopback address " << BobAddress.toStdString();
        talkPort = PortFreeOnAll({AnnAddress, BobAddress, ForgedAddress});
        ASSERT_NE(talkPort, 0);

        // The microphone: a second of silence, then the speech.
        QString error;
        ASSERT_TRUE(TestSpeech::Make(dir.filePath(u"raw.wav"_s), &error)) << error.toStdString();
        speech = Voice::LoadWavAs48kMono(dir.filePath(u"raw.wav"_s), &error);
        ASSERT_FALSE(speech.isEmpty()) << error.toStdString();
        speech = QList<qint16>(Voice::SampleRate, 0) + speech;
        ASSERT_TRUE(writeWav(u"speech.wav"_s, speech));
        ASSERT_TRUE(writeWav(u"silence.wav"_s, QList<qint16>(Voice::SampleRate, 0)));

        const QString built = ProgramRun::binFolder() + u"demo/courses/campus7/demo.lsn"_s;
        QDir().mkpath(dir.filePath(u"courses/campus7"_s));
        QFile::copy(built, dir.filePath(u"courses/campus7/demo.lsn"_s));
        sim = std::make_unique<ConsoleSim>(
            dir.path(), SimRun::DemoConfig(dir.filePath(u"courses"_s)));
        ASSERT_TRUE(sim->ready()) << sim->program().transcript().toStdString();
    }

    bool writeWav(const QString &name, const QList<qint16> &samples)
    {
        Voice::WavWriter writer;
        if (!writer.open(dir.filePath(name))
            || !writer.write(samples.constData(), int(samples.size())))
            return false;
        writer.close();
        return true;
    }

    // A student in the demo course, its own data folder, address and WAV
    // files (with no `microphone`, the sound server's devices `devices` names
    // instead); returns once the class is entered and its relay registered.
    std::unique_ptr<ProgramRun> enter(const QString &name, const QString &address, qint32 id,
        const QString &microphone, const QProcessEnvironment &devices = {})
    {
        const QString data = dir.filePath(name);
        QDir().mkpath(data + u"/Course"_s);
        QDir().mkpath(data + u"/config"_s);
        QFile::copy(ProgramRun::binFolder() + u"demo/courses/campus7/demo.lsn"_s,
            data + u"/Course/demo.lsn"_s);
        QFile settings(data + u"/config/DAZoraZuru.conf"_s);
        EXPECT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(QStringLiteral("[Options]\ngChatPort=%1\n").arg(talkPort).toUtf8());
        settings.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(u"DISPLAY"_s) && !env.contains(u"QT_QPA_PLATFORM"_s))
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        if (microphone.isEmpty()) {
            for (const QString &key : {u"LUMO_VOICE_MIC_WAV"_s, u"LUMO_VOICE_PLAY_WAV"_s})
                env.remove(key);
            for (const QString &key : devices.keys())
                env.insert(key, devices.value(key));
        } else {
            env.insert(u"LUMO_VOICE_MIC_WAV"_s, dir.filePath(microphone));
            env.insert(u"LUMO_VOICE_PLAY_WAV"_s, heardPath(name));
        }
        const QString code = id == Ann ? u"demo"_s : u"guest"_s;
        auto run = std::make_unique<ProgramRun>(u"LumoStudent"_s,
            QStringList{u"--data"_s, data, u"--auto"_s, u"--commands"_s, u"--local-address"_s,
                address, u"--campus"_s, u"127.0.0.1:%1"_s.arg(sim->campus()), u"--web"_s,
                u"127.0.0.1:%1"_s.arg(sim->web()), u"--user"_s, code, u"--password"_s, code,
                u"--enter"_s, u"12"_s},
            env);
        EXPECT_TRUE(run->started());
        EXPECT_TRUE(sim->waitFor(u"ready"_s, id, 60000)) << transcript(*run).toStdString();
        EXPECT_TRUE(sim->waitFor(u"voice-registered"_s, id, 20000))
            << transcript(*run).toStdString();
        return run;
    }

    QString heardPath(const QString &name) const { return dir.filePath(name + u"-heard.wav"_s); }

    // How well what `name` played matches the speech: the envelopes'
    // correlation at their best lag.
    double heardSpeech(const QString &name) const
    {
        QString error;
        const QList<qint16> heard = Voice::LoadWavAs48kMono(heardPath(name), &error);
        if (heard.size() < speech.size())
            return 0;
        const QList<double> sent = TestSpeech::Envelope(speech, EnvelopeBlock);
        const QList<double> got = TestSpeech::Envelope(heard, EnvelopeBlock);
        return TestSpeech::Align(sent, got, int(got.size())).correlation;
    }

    // The same, a second at a time, each second at its own lag near the
    // best: a jitter buffer that moves its delay by a frame mid-sentence
    // has not lost any of the speech.
    double heardSpeechBySecond(const QString &name) const
    {
        QString error;
        const QList<qint16> heard = Voice::LoadWavAs48kMono(heardPath(name), &error);
        if (heard.size() < speech.size())
            return 0;
        const QList<double> sent = TestSpeech::Envelope(speech, EnvelopeBlock);
        const QList<double> got = TestSpeech::Envelope(heard, EnvelopeBlock);
        const int lag = TestSpeech::Align(sent, got, int(got.size())).lagBlocks;
        return TestSpeech::SegmentedCorrelation(sent, got, lag, 100, 6);
    }

    int speechMs() const { return int(speech.size() * 1000 / Voice::SampleRate); }

    QString transcript(ProgramRun &student) const
    {
        return u"=== student ===\n"_s + student.transcript() + u"\n=== sim ===\n"_s
            + sim->program().transcript();
    }

    static bool command(ProgramRun &student, const QString &line)
    {
        student.process().write((line + u'\n').toUtf8());
        return student.waitFor([&](const QJsonObject &l) {
            return l.value(u"event"_s).toString() == u"command"_s
                && l.value(u"command"_s).toString() == line
                && l.value(u"result"_s).toString() == u"done"_s;
        });
    }

    // What the program shows of its class controls now.
    static QJsonObject controls(ProgramRun &student)
    {
        const qsizetype from = student.lineCount();
        student.send(u"controls"_s);
        QJsonObject seen;
        student.waitFrom(
            from,
            [&](const QJsonObject &l) {
                if (l.value(u"event"_s).toString() != u"controls"_s)
                    return false;
                seen = l;
                return true;
            },
            5000);
        return seen;
    }

    // Nothing of the class is left, and nothing of it can be used.
    static void expectNoClass(const QJsonObject &seen)
    {
        ASSERT_FALSE(seen.isEmpty());
        EXPECT_EQ(seen.value(u"users"_s).toInt(), 0);
        EXPECT_EQ(seen.value(u"recipient"_s).toInt(), 0);
        EXPECT_FALSE(seen.value(u"speaking"_s).toBool());
        EXPECT_FALSE(seen.value(u"listening"_s).toBool());
        EXPECT_FALSE(seen.value(u"inPrivateTalk"_s).toBool());
        for (const char *control : {"sendBox", "send", "sendNotes", "raiseHand", "microphone"})
            EXPECT_FALSE(seen.value(QLatin1String(control)).toObject().value(u"enabled"_s).toBool())
                << control;
        EXPECT_EQ(seen.value(u"raiseHand"_s).toObject().value(u"tooltip"_s).toString(),
            u"进入教室后才能使用"_s);
        EXPECT_TRUE(seen.value(u"caption"_s).toString().startsWith(u"LumoStudent"_s));
    }

    QTemporaryDir dir;
    quint16 talkPort = 0;
    QList<qint16> speech;
    std::unique_ptr<ConsoleSim> sim;
};

} // namespace

TEST_F(VoiceE2e, TheFloorCarriesSpeechToTheClassUntilTheTeacherTakesItBack)
{
    auto ann = enter(u"ann"_s, AnnAddress, Ann, u"speech.wav"_s);
    auto bob = enter(u"bob"_s, BobAddress, Bob, u"silence.wav"_s);
    ASSERT_FALSE(HasFailure());

    ASSERT_TRUE(command(*ann, u"mic"_s)) << transcript(*ann).toStdString();
    ASSERT_TRUE(ann->waitForEvent(u"stage"_s, u"申请话筒"_s, 10000));
    ASSERT_TRUE(sim->waitFor(u"floor-request"_s, Ann, 10000));
    sim->command(u"grant %1"_s.arg(Ann));
    ASSERT_TRUE(ann->waitForEvent(u"stage"_s, u"正在讲话"_s, 10000))
        << transcript(*ann).toStdString();

    // The whole speech, and a second for the file's header to catch up.
    QTest::qWait(speechMs() + 2000);
    const double match = heardSpeech(u"bob"_s);
    std::cout << "through the class relay: envelope correlation " << match << "\n";
    EXPECT_GT(match, 0.6) << transcript(*bob).toStdString();
    const qint64 whileSpeaking = sim->relayReceived(Ann);
    EXPECT_GT(whileSpeaking, speechMs() / 40); // 20 ms frames, some of them bundled

    sim->command(u"takeback"_s);
    ASSERT_TRUE(sim->waitFor(u"floor-released"_s, Ann, 10000));
    ASSERT_TRUE(ann->waitFor([](const QJsonObject &l) {
        return l.value(u"name"_s).toString() == u"floor"_s
            && l.value(u"detail"_s).toString() == u"空闲"_s;
    }));
    // What was on its way has arrived by now; nothing follows it.
    QTest::qWait(300);
    const qint64 atRelease = sim->relayReceived(Ann);
    QTest::qWait(1500);
    EXPECT_EQ(sim->relayReceived(Ann), atRelease);
}

TEST_F(VoiceE2e, SpeechCrossesTheTwoProgramsOnTheSoundServer)
{
    // Each student's microphone is the monitor of a sink only the test plays
    // into, each loudspeaker a sink only the test listens to.
    const NullSink annMouth(u"lumo_e2e_ann_mic"_s), annEar(u"lumo_e2e_ann_out"_s);
    const NullSink bobMouth(u"lumo_e2e_bob_mic"_s), bobEar(u"lumo_e2e_bob_out"_s);
    if (!annMouth.loaded() || !annEar.loaded() || !bobMouth.loaded() || !bobEar.loaded())
        GTEST_SKIP() << "no sound server to load null sinks on";
    const auto devices = [](const NullSink &mouth, const NullSink &ear) {
        QProcessEnvironment env;
        env.insert(u"PULSE_SOURCE"_s, mouth.monitor());
        env.insert(u"PULSE_SINK"_s, ear.sink());
        return env;
    };

    std::mutex mutex;
    bool speaking = false;
    qsizetype played = 0;
    QList<qint16> heard;
    Voice::PulseStream mouth, ear;
    Voice::PulseStream::Options out;
    out.direction = Voice::PulseStream::Direction::Playback;
    out.device = annMouth.sink().toUtf8();
    QString why;
    ASSERT_TRUE(mouth.start(
        out, {},
        [&](qint16 *samples, int count) {
            std::lock_guard lock(mutex);
            for (int i = 0; i < count; ++i)
                samples[i] = speaking && played < speech.size() ? speech[played++] : qint16(0);
        },
        {}, &why))
        << why.toStdString();
    Voice::PulseStream::Options in;
    in.device = bobEar.monitor().toUtf8();
    ASSERT_TRUE(ear.start(
        in,
        [&](const qint16 *samples, int count) {
            std::lock_guard lock(mutex);
            if (speaking)
                heard.append(QList<qint16>(samples, samples + count));
        },
        {}, {}, &why))
        << why.toStdString();

    auto ann = enter(u"ann"_s, AnnAddress, Ann, {}, devices(annMouth, annEar));
    auto bob = enter(u"bob"_s, BobAddress, Bob, {}, devices(bobMouth, bobEar));
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(command(*ann, u"mic"_s)) << transcript(*ann).toStdString();
    ASSERT_TRUE(sim->waitFor(u"floor-request"_s, Ann, 10000));
    sim->command(u"grant %1"_s.arg(Ann));
    ASSERT_TRUE(ann->waitForEvent(u"stage"_s, u"正在讲话"_s, 10000))
        << transcript(*ann).toStdString();
    // The microphone's stream opens with the floor.
    QTest::qWait(1000);
    {
        std::lock_guard lock(mutex);
        speaking = true;
    }
    QTest::qWait(speechMs() + 1000);
    ear.stop();
    mouth.stop();

    // The speech came out of Bob's loudspeaker, cleaned up on Ann's side
    // (echo cancellation, noise suppression, gain control) and coded.
    ASSERT_GE(heard.size(), speech.size());
    const QList<double> sent = TestSpeech::Envelope(speech, EnvelopeBlock);
    const QList<double> got = TestSpeech::Envelope(heard, EnvelopeBlock);
    const TestSpeech::Alignment match = TestSpeech::Align(sent, got, int(got.size() - sent.size()));
    std::cout << "on the sound server: envelope correlation " << match.correlation << "\n";
    EXPECT_GT(match.correlation, 0.6) << transcript(*bob).toStdString();
    // Bob, without the floor, sent nothing.
    EXPECT_GT(sim->relayReceived(Ann), speechMs() / 40);
    EXPECT_EQ(sim->relayReceived(Bob), 0);
}

TEST_F(VoiceE2e, SpeechCrossesARelayThatLosesDelaysAndReordersPackets)
{
    // The servers again, their relay now a poor network: 5 % of the
    // datagrams lost on the way to each listener, the rest held back up to
    // 150 ms, 5 % of them 40 ms more; the same seed, the same decisions.
    sim.reset();
    sim = std::make_unique<ConsoleSim>(dir.path(), SimRun::DemoConfig(dir.filePath(u"courses"_s)),
        nullptr,
        QStringList{u"--voice-loss"_s, u"5"_s, u"--voice-jitter"_s, u"150"_s, u"--voice-reorder"_s,
            u"5"_s, u"--voice-seed"_s, u"11"_s});
    ASSERT_TRUE(sim->ready()) << sim->program().transcript().toStdString();
    auto ann = enter(u"ann"_s, AnnAddress, Ann, u"speech.wav"_s);
    auto bob = enter(u"bob"_s, BobAddress, Bob, u"silence.wav"_s);
    ASSERT_FALSE(HasFailure());

    ASSERT_TRUE(command(*ann, u"mic"_s)) << transcript(*ann).toStdString();
    ASSERT_TRUE(sim->waitFor(u"floor-request"_s, Ann, 10000));
    sim->command(u"grant %1"_s.arg(Ann));
    ASSERT_TRUE(ann->waitForEvent(u"stage"_s, u"正在讲话"_s, 10000))
        << transcript(*ann).toStdString();
    QTest::qWait(speechMs() + 2000);

    const QJsonObject counters = sim->relayCounters();
    const double forwarded = counters.value(u"forwarded"_s).toDouble();
    const double lost = counters.value(u"lost"_s).toDouble();
    const double match = heardSpeech(u"bob"_s);
    const double bySecond = heardSpeechBySecond(u"bob"_s);
    std::cout << "through a poor relay (" << lost << " of " << forwarded
              << " datagrams lost): envelope correlation " << match << ", a second at a time "
              << bySecond << "\n";
    // Bob is the only listener: about one datagram in twenty never came.
    EXPECT_GT(forwarded, speechMs() / 40);
    EXPECT_GT(lost, forwarded * 0.02);
    EXPECT_LT(lost, forwarded * 0.10);
    // Heard as the clean relay's speech is; a second at a time, as closely
    // as the simulated calls of voicecore_tests.
    EXPECT_GT(match, 0.6) << transcript(*bob).toStdString();
    EXPECT_GE(bySecond, 0.8);
}

TEST_F(VoiceE2e, APrivateTalkGoesPeerToPeerAndForgedCommandsMoveNothing)
{
    auto ann = enter(u"ann"_s, AnnAddress, Ann, u"speech.wav"_s);
    auto bob = enter(u"bob"_s, BobAddress, Bob, u"silence.wav"_s);
    ASSERT_FALSE(HasFailure());

    // Where a forged acceptance or address reply would send Ann's voice.
    QUdpSocket trap;
    ASSERT_TRUE(trap.bind(QHostAddress(ForgedAddress), talkPort));
    const QString forged = ForgedAddress + u"]"_s + QString::number(talkPort);
    const auto forge = [&](qint32 to, const QString &text) {
        sim->command(u"as %1 note to=%2 %3"_s.arg(Forger).arg(to).arg(text));
    };
    forge(Ann, u"[同意和你语音密谈]"_s + forged);
    forge(Ann, u"[回应我的地址]"_s + forged);
    forge(Ann, u"[结束密谈]"_s);

    ASSERT_TRUE(command(*ann, u"talk %1"_s.arg(Bob)));
    ASSERT_TRUE(bob->waitForEvent(u"prompt"_s, u"请求和你语音密谈，你同意吗？"_s, 10000))
        << transcript(*bob).toStdString();
    // Each side announces the address it goes out from.
    const QString port = QString::number(talkPort);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return sim->hasNote(Ann, Bob, u"[回应我的地址]"_s + AnnAddress + u"]"_s + port); },
        10000))
        << transcript(*ann).toStdString();
    EXPECT_TRUE(sim->hasNote(Bob, Ann, u"[同意和你语音密谈]"_s + BobAddress + u"]"_s + port));

    // During the talk a third party's end or acceptance moves neither side.
    forge(Ann, u"[结束密谈]"_s);
    forge(Bob, u"[结束密谈]"_s);
    forge(Ann, u"[同意和你语音密谈]"_s + forged);

    QTest::qWait(speechMs() + 2000);
    const double match = heardSpeech(u"bob"_s);
    std::cout << "peer to peer: envelope correlation " << match << "\n";
    EXPECT_GT(match, 0.6) << transcript(*bob).toStdString();
    // The forged notes did reach the server and were passed on.
    EXPECT_TRUE(sim->hasNote(Forger, Bob, u"[结束密谈]"_s));
    EXPECT_TRUE(sim->hasNote(Forger, Ann, u"[回应我的地址]"_s + forged));
    // None of it went through the classroom's relay, nothing to the trap.
    EXPECT_EQ(sim->relayReceived(Ann), 0);
    EXPECT_EQ(sim->relayReceived(Bob), 0);
    EXPECT_FALSE(trap.hasPendingDatagrams());
    EXPECT_FALSE(ann->hasEvent(u"prompt"_s, {}));

    // Ann ends through her user list's menu; Bob is told and goes back to
    // the class. With the talk over the menu offers no end any more.
    ASSERT_TRUE(command(*ann, u"endtalk"_s));
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim->hasNote(Ann, Bob, u"[结束密谈]"_s); }, 10000));
    const qsizetype before = ann->lineCount();
    ann->process().write("endtalk\n");
    EXPECT_TRUE(ann->waitFrom(before, [](const QJsonObject &l) {
        return l.value(u"event"_s).toString() == u"command"_s
            && l.value(u"result"_s).toString() == u"refused"_s
            && l.value(u"reason"_s).toString().contains(u"disabled"_s);
    })) << transcript(*ann).toStdString();
}

TEST_F(VoiceE2e, DisconnectWhileHoldingTheFloorStopsTheVoiceAndEmptiesTheClass)
{
    auto ann = enter(u"ann"_s, AnnAddress, Ann, u"speech.wav"_s);
    auto bob = enter(u"bob"_s, BobAddress, Bob, u"silence.wav"_s);
    ASSERT_FALSE(HasFailure());

    ASSERT_TRUE(command(*ann, u"mic"_s)) << transcript(*ann).toStdString();
    ASSERT_TRUE(sim->waitFor(u"floor-request"_s, Ann, 10000));
    sim->command(u"grant %1"_s.arg(Ann));
    ASSERT_TRUE(ann->waitForEvent(u"stage"_s, u"正在讲话"_s, 10000))
        << transcript(*ann).toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->relayReceived(Ann) > 20; }, 10000));

    const int classSize = controls(*bob).value(u"users"_s).toInt();
    // The DisConnect button, clicked with the mouse, while the floor is held.
    ASSERT_TRUE(command(*ann, u"disconnect"_s)) << transcript(*ann).toStdString();
    ASSERT_TRUE(ann->waitForEvent(u"session"_s, u"Offline"_s, 5000));
    QTest::qWait(300);
    const qint64 atDisconnect = sim->relayReceived(Ann);
    QTest::qWait(1500);
    EXPECT_EQ(sim->relayReceived(Ann), atDisconnect);
    expectNoClass(controls(*ann));
    // Nothing comes back by itself after a Disconnect.
    QTest::qWait(1500);
    EXPECT_FALSE(ann->hasEvent(u"session"_s, u"Returning"_s));
    // The others see her leave.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return controls(*bob).value(u"users"_s).toInt() == classSize - 1; }, 5000))
        << transcript(*bob).toStdString();
}

TEST_F(VoiceE2e, DisconnectDuringAPrivateTalkTellsThePartnerAndStopsTheEngine)
{
    auto ann = enter(u"ann"_s, AnnAddress, Ann, u"speech.wav"_s);
    auto bob = enter(u"bob"_s, BobAddress, Bob, u"silence.wav"_s);
    ASSERT_FALSE(HasFailure());

    ASSERT_TRUE(command(*ann, u"talk %1"_s.arg(Bob)));
    const QString port = QString::number(talkPort);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return sim->hasNote(Ann, Bob, u"[回应我的地址]"_s + AnnAddress + u"]"_s + port); },
        10000))
        << transcript(*ann).toStdString();
    const QJsonObject talking = controls(*ann);
    EXPECT_TRUE(talking.value(u"speaking"_s).toBool());
    EXPECT_TRUE(talking.value(u"inPrivateTalk"_s).toBool());

    ASSERT_TRUE(command(*ann, u"disconnect"_s)) << transcript(*ann).toStdString();
    // The partner hears of the end before the connection closes.
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim->hasNote(Ann, Bob, u"[结束密谈]"_s); }, 5000));
    ASSERT_TRUE(ann->waitForEvent(u"session"_s, u"Offline"_s, 5000));
    expectNoClass(controls(*ann));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !controls(*bob).value(u"inPrivateTalk"_s).toBool(); }, 5000));
}

TEST_F(VoiceE2e, TheClassComesBackByItselfWhenTheServersRestart)
{
    auto ann = enter(u"ann"_s, AnnAddress, Ann, u"speech.wav"_s);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(command(*ann, u"mic"_s)) << transcript(*ann).toStdString();
    ASSERT_TRUE(sim->waitFor(u"floor-request"_s, Ann, 10000));
    sim->command(u"grant %1"_s.arg(Ann));
    ASSERT_TRUE(ann->waitForEvent(u"stage"_s, u"正在讲话"_s, 10000));

    // The servers go away for three seconds and come back on their ports.
    const qsizetype before = ann->lineCount();
    ConsoleSim *old = sim.get();
    old->program().process().kill();
    old->program().process().waitForFinished(5000);
    ASSERT_TRUE(ann->waitFrom(before, [](const QJsonObject &l) {
        return l.value(u"event"_s).toString() == u"session"_s
            && l.value(u"stage"_s).toString() == u"Returning"_s;
    }));
    expectNoClass(controls(*ann));
    QTest::qWait(3000);
    auto restarted = std::make_unique<ConsoleSim>(
        dir.path(), SimRun::DemoConfig(dir.filePath(u"courses"_s)), old);
    ASSERT_TRUE(restarted->ready()) << restarted->program().transcript().toStdString();
    ASSERT_EQ(restarted->campus(), old->campus());
    sim = std::move(restarted);
    QElapsedTimer back;
    back.start();

    // Back without a key pressed, within seconds, and told so.
    ASSERT_TRUE(ann->waitFrom(
        before,
        [](const QJsonObject &l) { return l.value(u"event"_s).toString() == u"returned"_s; },
        20000))
        << transcript(*ann).toStdString();
    std::cout << "back in class " << back.elapsed() << " ms after the servers returned\n";
    ASSERT_TRUE(sim->waitFor(u"ready"_s, Ann, 10000));
    const qsizetype notesFrom = ann->lineCount();
    ann->send(u"notes"_s);
    QString notes;
    ann->waitFrom(notesFrom, [&](const QJsonObject &l) {
        notes = l.value(u"text"_s).toString();
        return l.value(u"event"_s).toString() == u"notes"_s;
    });
    EXPECT_TRUE(notes.contains(u"[连接中断，正在重新连接…]"_s)) << notes.toStdString();
    EXPECT_TRUE(notes.contains(u"[已重新连接"_s)) << notes.toStdString();
    // The microphone stays closed until the student asks again.
    const QJsonObject seen = controls(*ann);
    EXPECT_FALSE(seen.value(u"speaking"_s).toBool());
    EXPECT_TRUE(seen.value(u"listening"_s).toBool());
    EXPECT_TRUE(seen.value(u"microphone"_s).toObject().value(u"enabled"_s).toBool());
    QTest::qWait(500);
    EXPECT_EQ(sim->relayReceived(Ann), 0);
}
