// The sound-server streams against real PulseAudio daemons with null
// devices: the one of the test environment for the loop through the default
// sink and its monitor, private ones for the faults (a daemon of our own can
// be killed without disturbing other tests).

#include "voice/core/voiceformat.h"
#include "voice/pulse/pulsestream.h"
#include "voice/tests/envoverride.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Voice::PulseStream;

namespace {

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename F> bool waitUntil(F &&done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        runFor(10);
    return done();
}

PulseStream::Options options(PulseStream::Direction direction, int bufferMs, QByteArray device = {})
{
    PulseStream::Options o;
    o.direction = direction;
    o.bufferMs = bufferMs;
    o.device = std::move(device);
    return o;
}

// PULSE_SERVER for the life of the object.
class ServerOverride : public EnvOverride
{
public:
    explicit ServerOverride(const QByteArray &server)
        : EnvOverride("PULSE_SERVER", server)
    { }
};

// A PulseAudio daemon of the test's own with a null sink, on a socket in a
// temporary folder.
class PrivateDaemon
{
public:
    bool start()
    {
        if (QStandardPaths::findExecutable(u"pulseaudio"_s).isEmpty())
            return false;
        socket = m_dir.filePath(u"native"_s).toUtf8();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());
        env.insert(u"HOME"_s, m_dir.path());
        // Off the session bus: a second daemon there would find the bus
        // name taken and give up.
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + m_dir.filePath(u"no-bus"_s));
        env.remove(u"DISPLAY"_s);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(u"pulseaudio"_s,
            {u"-n"_s, u"--daemonize=no"_s, u"--exit-idle-time=-1"_s, u"--use-pid-file=no"_s,
                u"--disable-shm=yes"_s, u"--log-target=stderr"_s, u"--log-level=0"_s,
                u"--load=module-null-sink"_s,
                u"--load=module-native-protocol-unix auth-anonymous=1 socket="_s
                    + QString::fromUtf8(socket)});
        if (!m_process.waitForStarted(5000))
            return false;
        return waitUntil([&] { return QFileInfo::exists(QString::fromUtf8(socket)); }, 5000);
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    ~PrivateDaemon() { kill(); }

    QByteArray socket;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace

TEST(PulseStreams, ClicksComeBackThroughTheMonitorAtTheServersPace)
{
    // The test environment's daemon: default sink, and its monitor heard
    // back as a source, both at full level whatever an earlier test left.
    for (const auto &[kind, device] :
        {std::pair{"sink", "@DEFAULT_SINK@"}, std::pair{"source", "@DEFAULT_MONITOR@"}}) {
        QProcess::execute(QStringLiteral("pactl"),
            {QStringLiteral("set-%1-volume").arg(QLatin1String(kind)), QLatin1String(device),
                QStringLiteral("100%")});
    }
    constexpr int ClickEvery = Voice::SampleRate / 5;
    std::atomic<qint64> written{0};
    std::mutex madeMutex;
    std::vector<qint64> madeAt; // ns, when a click's first sample was handed over
    QElapsedTimer clock;
    clock.start();
    PulseStream playback;
    QString why;
    const bool started = playback.start(
        options(PulseStream::Direction::Playback, Voice::PlaybackTargetMs), {},
        [&](qint16 *out, int count) {
            const qint64 first = written.fetch_add(count);
            for (int i = 0; i < count; ++i) {
                const qint64 n = first + i;
                out[i] = n % ClickEvery < 240 ? qint16(12000) : qint16(0);
                if (n % ClickEvery == 0) {
                    std::lock_guard lock(madeMutex);
                    madeAt.push_back(clock.nsecsElapsed());
                }
            }
        },
        {}, &why);
    if (!started)
        GTEST_SKIP() << "no sound server: " << why.toStdString();

    std::atomic<qint64> captured{0};
    std::atomic<qint64> aheadOfTheClock{0}; // the most handed over beyond real time, samples
    qint64 firstNs = -1;
    std::vector<qint64> heardAt;
    bool loud = true;
    PulseStream capture;
    ASSERT_TRUE(capture.start(
        options(PulseStream::Direction::Capture, Voice::CaptureLatencyMs, "@DEFAULT_MONITOR@"),
        [&](const qint16 *samples, int count) {
            const qint64 nowNs = clock.nsecsElapsed();
            if (firstNs < 0)
                firstNs = nowNs;
            captured += count;
            const qint64 due = (nowNs - firstNs) * Voice::SampleRate / 1'000'000'000;
            aheadOfTheClock = std::max<qint64>(aheadOfTheClock, captured - due);
            for (int i = 0; i < count; ++i) {
                const bool now = std::abs(int(samples[i])) > 4000;
                if (now && !loud) {
                    std::lock_guard lock(madeMutex);
                    heardAt.push_back(clock.nsecsElapsed());
                }
                loud = now;
            }
        },
        {}, {}, &why))
        << why.toStdString();
    // The null sink's monitor wakes slowly: its first second or two come
    // late and all at once, on this daemon as on any other.
    ASSERT_TRUE(waitUntil([&] { return captured > Voice::SampleRate / 2; }, 8000));
    runFor(300);
    const qint64 capturedAtStart = captured;
    const qint64 writtenAtStart = written;
    const std::size_t heardBefore = [&] {
        std::lock_guard lock(madeMutex);
        return heardAt.size();
    }();
    QElapsedTimer span;
    span.start();
    runFor(2000);
    const qint64 capturedInSpan = captured - capturedAtStart;
    const double spanMs = double(span.elapsed());
    const qint64 playbackUs = playback.latencyUs();
    const qint64 captureUs = capture.latencyUs();
    capture.stop();
    playback.stop();

    // Both sides run on the server's clock: two seconds give two seconds
    // of samples, not a burst of buffered ones.
    const double capturedMs = double(capturedInSpan) * 1000 / Voice::SampleRate;
    // No burst handed over: never more than the backlog limit and two
    // fragments ahead of real time.
    EXPECT_LT(aheadOfTheClock, (80 + 40) * Voice::SampleRate / 1000);
    std::cout << "dropped as too old: " << capture.droppedSamples() * 1000 / Voice::SampleRate
              << " ms\n";
    EXPECT_NEAR(capturedMs, spanMs, spanMs * 0.1);
    const double playedMs = double(written - writtenAtStart) * 1000 / Voice::SampleRate;
    EXPECT_NEAR(playedMs, spanMs, spanMs * 0.1);

    // The clicks come back (each paired with the last one made before it).
    std::lock_guard lock(madeMutex);
    heardAt.erase(heardAt.begin(), heardAt.begin() + std::ptrdiff_t(heardBefore));
    ASSERT_GE(heardAt.size(), 6u);
    std::vector<double> loopMs;
    for (const qint64 heard : heardAt) {
        const auto made = std::upper_bound(madeAt.begin(), madeAt.end(), heard);
        if (made != madeAt.begin())
            loopMs.push_back(double(heard - *(made - 1)) / 1e6);
    }
    std::sort(loopMs.begin(), loopMs.end());
    std::cout << "loop through the null sink: median " << loopMs[loopMs.size() / 2]
              << " ms; server reports playback " << playbackUs / 1000.0 << " ms, capture "
              << captureUs / 1000.0 << " ms\n";
    // The server's reports came, and they are of the size asked for, not
    // the quarter second of a default buffer.
    EXPECT_GE(playbackUs, 0);
    EXPECT_GE(captureUs, 0);
    EXPECT_LT(playbackUs, 4 * Voice::PlaybackTargetMs * 1000);
}

TEST(PulseStreams, AHeldUpCaptureDropsItsBacklogInsteadOfPassingItOn)
{
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> captured{0};
    std::atomic<qint64> aheadAfterHold{0};
    qint64 firstNs = -1;
    std::atomic<int> calls{0};
    PulseStream capture;
    QString why;
    const bool started = capture.start(
        options(PulseStream::Direction::Capture, 20),
        [&](const qint16 *, int count) {
            const qint64 nowNs = clock.nsecsElapsed();
            if (firstNs < 0)
                firstNs = nowNs;
            captured += count;
            if (++calls == 30) {
                // A thread held up for 400 ms (a busy machine); the reads
                // then start at a fresh origin.
                QThread::msleep(400);
                firstNs = clock.nsecsElapsed();
                captured = 0;
                return;
            }
            if (calls > 30) {
                const qint64 due = (nowNs - firstNs) * Voice::SampleRate / 1'000'000'000;
                aheadAfterHold = std::max<qint64>(aheadAfterHold, captured - due);
            }
        },
        {}, {}, &why);
    if (!started)
        GTEST_SKIP() << "no sound server: " << why.toStdString();
    EXPECT_TRUE(waitUntil([&] { return calls > 80; }, 5000));
    capture.stop();
    // Most of the 400 ms were dropped; what was handed over after the hold
    // ran at most the limit and two fragments ahead of real time.
    EXPECT_GT(capture.droppedSamples(), 200 * Voice::SampleRate / 1000);
    EXPECT_LT(aheadAfterHold, (80 + 40) * Voice::SampleRate / 1000);
}

TEST(PulseStreams, NoServerFailsTheStartAtOnce)
{
    QTemporaryDir dir;
    const ServerOverride server("unix:" + dir.filePath(u"nobody-here"_s).toUtf8());
    PulseStream stream;
    QString why;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(stream.start(
        options(PulseStream::Direction::Capture, 10), [](const qint16 *, int) {}, {}, {}, &why));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(why.startsWith(u"sound server"_s)) << why.toStdString();
    EXPECT_FALSE(stream.isRunning());
    stream.stop(); // harmless after a failed start
}

TEST(PulseStreams, ServerGoneIsReportedOnceAndStopStillReturns)
{
    PrivateDaemon daemon;
    if (!daemon.start())
        GTEST_SKIP() << "cannot run a PulseAudio daemon here";
    const ServerOverride server("unix:" + daemon.socket);

    std::atomic<int> failures{0};
    std::atomic<qint64> played{0};
    QString failure;
    std::mutex failureMutex;
    PulseStream playback;
    PulseStream capture;
    QString why;
    ASSERT_TRUE(playback.start(
        options(PulseStream::Direction::Playback, 20), {},
        [&](qint16 *out, int count) {
            std::fill(out, out + count, qint16(0));
            played += count;
        },
        [&](const QString &reason) {
            std::lock_guard lock(failureMutex);
            failure = reason;
            ++failures;
        },
        &why))
        << why.toStdString();
    ASSERT_TRUE(capture.start(
        options(PulseStream::Direction::Capture, 10), [](const qint16 *, int) {}, {},
        [&](const QString &) { ++failures; }, &why))
        << why.toStdString();
    EXPECT_TRUE(waitUntil([&] { return played > Voice::SampleRate / 10; }, 3000));

    daemon.kill();
    EXPECT_TRUE(waitUntil([&] { return failures == 2; }, 3000));
    EXPECT_FALSE(playback.isRunning());
    {
        std::lock_guard lock(failureMutex);
        EXPECT_TRUE(failure.startsWith(u"sound"_s)) << failure.toStdString();
    }
    QElapsedTimer clock;
    clock.start();
    playback.stop();
    capture.stop();
    EXPECT_LT(clock.elapsed(), 1000);
    runFor(100);
    EXPECT_EQ(failures, 2); // once per stream, nothing after the stop

    // A server back under the same name takes new streams.
    PrivateDaemon again;
    ASSERT_TRUE(again.start());
    const ServerOverride back("unix:" + again.socket);
    EXPECT_TRUE(capture.start(
        options(PulseStream::Direction::Capture, 10), [](const qint16 *, int) {}, {}, {}, &why))
        << why.toStdString();
}

// A playback stream with nothing coming in rests (the server stops asking
// for it) once what it plays is silence, and plays on at the server's pace
// as soon as something comes; sound still playing keeps it going.
TEST(PulseStreams, AQuietPlaybackRestsUntilSomethingComesIn)
{
    std::atomic<qint64> played{0};
    std::atomic<bool> loud{true};
    PulseStream playback;
    PulseStream::Options o = options(PulseStream::Direction::Playback, 20);
    o.corkAfterIdleMs = 300;
    QString why;
    if (!playback.start(
            o, {},
            [&](qint16 *out, int count) {
                std::fill(out, out + count, qint16(loud ? 1000 : 0));
                played += count;
            },
            {}, &why))
        GTEST_SKIP() << "no sound server: " << why.toStdString();

    // A null sink that sat idle renders its long idle block out before it
    // turns to the stream's latency: up to two seconds before the first
    // steady requests.
    ASSERT_TRUE(waitUntil([&] { return played > Voice::SampleRate / 10; }, 3000));
    // Nothing came in for longer than the idle time, but the tail still
    // sounds: played on.
    runFor(400);
    const qint64 sounding = played;
    runFor(300);
    EXPECT_GT(played - sounding, Voice::SampleRate / 5);

    // Silence with nothing coming in: at rest within the idle time and a
    // request or two.
    loud = false;
    runFor(600);
    const qint64 resting = played;
    runFor(500);
    EXPECT_LE(played - resting, Voice::SampleRate / 50);
    EXPECT_TRUE(playback.isRunning());

    // Datagrams come, a frame apart: the server asks again at once and at
    // its pace, silence or not.
    QTimer datagrams;
    QObject::connect(&datagrams, &QTimer::timeout, [&] { playback.activity(); });
    datagrams.start(20);
    playback.activity();
    const qint64 woken = played;
    runFor(1000);
    EXPECT_GT(played - woken, Voice::SampleRate * 9 / 10);
    datagrams.stop();
    playback.stop();
}

// Where no PULSE_SERVER is set, the client configuration names the server:
// a hung one there must count as listening, or the engine would ask the
// multimedia back end, which waits for it without a limit.
TEST(PulseStreams, TheClientConfigurationsServerIsWhereOneMayListen)
{
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(u"native"_s).toUtf8();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0); // listening, never answering

    const QString config = dir.filePath(u"client.conf"_s);
    const auto writeConfig = [&](const QByteArray &text) {
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    const ServerOverride none("");
    const EnvOverride clientConfig("PULSE_CLIENTCONFIG", config.toUtf8());
    writeConfig("; comment\nautospawn = no\ndefault-server = unix:" + path + "\n");
    EXPECT_TRUE(Voice::SoundServerMayBeListening());
    // The last setting counts; nothing listens there.
    writeConfig("default-server = unix:" + path + "\n# default-server = " + path
        + "\ndefault-server = " + path + "-gone\n");
    EXPECT_FALSE(Voice::SoundServerMayBeListening());
    // A network address cannot be known without waiting.
    writeConfig("default-server = tcp:192.0.2.1:4713\n");
    EXPECT_TRUE(Voice::SoundServerMayBeListening());
    ::close(listener);
}
