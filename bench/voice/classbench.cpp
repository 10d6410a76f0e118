// Mouth to ear through two real LumoStudent programs in one class of the
// local servers, on the sound server: each program's microphone the monitor
// of a null sink of its own, each loudspeaker a null sink of its own. The
// bench speaks into Ann's microphone sink, a minute long, and records what
// Ann's microphone hears and what Bob's loudspeaker plays through the two
// sinks' monitors; the delay of every three-second window from the first
// word on is found by cross-correlating the two recordings' envelopes, then
// refined on the waveform. The same two programs with sound files are
// the baseline: their windows show what the programs and the relay move by
// themselves, without devices. Targets: every window at most 150 ms, the
// delay moving at most 60 ms over the minute. The pair's whole-process CPU
// (the programs' own counters) is shown in class before and while one speaks;
// it is the whole program's, window and all, not the voice's alone.

#include "bench/report/figures.h"
#include "client/shell/tests/programrun.h"
#include "voice/core/voiceformat.h"
#include "voice/core/wavreader.h"
#include "voice/core/wavwriter.h"
#include "voice/pulse/pulsestream.h"
#include "voice/tests/nullsink.h"
#include "voice/tests/testspeech.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int Block = 480; // 10 ms envelope blocks
constexpr int WindowBlocks = 300; // three seconds
constexpr int SearchBlocks = 30; // a window's lag within 300 ms of the whole's
constexpr int SpeakSeconds = 62;
constexpr qint32 Ann = 1001; // "demo"
constexpr qint32 Bob = 1004; // "guest"
const QString AnnAddress = u"127.0.0.2"_s;
const QString BobAddress = u"127.0.0.3"_s;

// User plus system seconds of a child process so far, from its own counters.
double cpuSeconds(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are
    // the 14th and 15th of the line.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// Each thread's user plus system seconds so far, by the thread's name
// (threads of one name added up).
std::map<QString, double> threadCpuSeconds(qint64 pid)
{
    std::map<QString, double> byName;
    const QDir tasks(u"/proc/%1/task"_s.arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + u"/stat"_s));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('(');
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (open < 0 || fields.size() < 13)
            continue;
        byName[QString::fromUtf8(text.mid(open + 1, close - open - 1))]
            += double(fields[11].toLongLong() + fields[12].toLongLong())
            / double(sysconf(_SC_CLK_TCK));
    }
    return byName;
}

// Where a program's CPU went between two snapshots: its busiest threads.
QString busiestThreads(
    const std::map<QString, double> &before, const std::map<QString, double> &after, double seconds)
{
    std::vector<std::pair<double, QString>> used;
    for (const auto &[name, cpu] : after) {
        const auto it = before.find(name);
        used.emplace_back(cpu - (it == before.end() ? 0 : it->second), name);
    }
    std::sort(used.rbegin(), used.rend());
    QStringList parts;
    for (std::size_t i = 0; i < used.size() && i < 4; ++i)
        parts << u"%1 %2 %"_s.arg(used[i].second).arg(100 * used[i].first / seconds, 0, 'f', 1);
    return parts.join(u", "_s);
}

// The delays of a run: one per three-second window, in ms.
struct Windows {
    std::vector<double> ms;
    double worst() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    double best() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
    double drift() const { return ms.empty() ? 0 : ms.back() - ms.front(); }
};

// `heard` against `sent` window by window from the first word on: each
// window's lag in samples, found on the envelopes near the whole's best lag
// and refined on the waveform.
std::vector<int> windowLags(const QList<qint16> &sent, const QList<qint16> &heard)
{
    const QList<double> sentEnvelope = TestSpeech::Envelope(sent, Block);
    const QList<double> heardEnvelope = TestSpeech::Envelope(heard, Block);
    const int whole = TestSpeech::Align(sentEnvelope, heardEnvelope,
        int(std::max<qsizetype>(0, heardEnvelope.size() - sentEnvelope.size() / 2)))
                          .lagBlocks;
    const double loudest = *std::max_element(sentEnvelope.begin(), sentEnvelope.end());
    qsizetype first = 0;
    while (first < sentEnvelope.size() && sentEnvelope[first] < loudest / 10)
        ++first;
    std::vector<int> lags;
    for (qsizetype from = first; from + WindowBlocks <= sentEnvelope.size(); from += WindowBlocks) {
        const qsizetype heardFrom = from + whole - SearchBlocks;
        if (heardFrom < 0 || heardFrom + WindowBlocks + 2 * SearchBlocks > heardEnvelope.size())
            continue;
        const TestSpeech::Alignment near = TestSpeech::Align(sentEnvelope.mid(from, WindowBlocks),
            heardEnvelope.mid(heardFrom, WindowBlocks + 2 * SearchBlocks), 2 * SearchBlocks);
        if (near.correlation < 0.5)
            continue; // a window the listener did not hear says nothing of its delay
        const int coarse = int(heardFrom - from + near.lagBlocks) * Block;
        // Half the window is enough to place it to the sample.
        const QList<qint16> sentPart = sent.mid(from * Block, WindowBlocks / 2 * Block);
        const qsizetype heardAt = from * Block + coarse - Block;
        if (heardAt < 0)
            continue;
        const QList<qint16> heardPart = heard.mid(heardAt, (WindowBlocks / 2 + 2) * Block);
        lags.push_back(int(heardAt) - int(from * Block)
            + TestSpeech::RefineLag(sentPart, heardPart, Block, Block * 3 / 4));
    }
    return lags;
}

// One class: the servers with their console, Ann and Bob in it, Ann holding
// the floor; the programs' CPU while she speaks.
class ClassRun
{
public:
    ClassRun(const QString &folder, quint16 talkPort)
        : m_folder(folder)
        , m_talkPort(talkPort)
    {
        const QString built = ProgramRun::binFolder() + u"demo/courses/campus7/demo.lsn"_s;
        QDir().mkpath(folder + u"/courses/campus7"_s);
        QFile::copy(built, folder + u"/courses/campus7/demo.lsn"_s);
        m_sim = std::make_unique<ConsoleSim>(folder, SimRun::DemoConfig(folder + u"/courses"_s));
    }

    // Both students in class with these environments; Ann asks for the floor
    // and the teacher grants it. Empty on success, else what went wrong.
    QString enterAndGrant(const QProcessEnvironment &annEnv, const QProcessEnvironment &bobEnv)
    {
        if (!m_sim->ready())
            return u"the servers did not start"_s;
        m_ann = enter(u"ann"_s, AnnAddress, Ann, annEnv);
        m_bob = enter(u"bob"_s, BobAddress, Bob, bobEnv);
        if (!m_ann || !m_bob)
            return u"a student did not get into class"_s;
        // Both in class and listening, nobody speaking yet.
        QTest::qWait(1000);
        startCpu();
        QTest::qWait(5000);
        m_listeningPercent = cpuPercent();
        m_ann->send(u"mic"_s);
        if (!m_sim->waitFor(u"floor-request"_s, Ann, 10000))
            return u"no floor request"_s;
        m_sim->command(u"grant %1"_s.arg(Ann));
        if (!m_ann->waitForEvent(u"stage"_s, u"正在讲话"_s, 10000))
            return u"Ann was not given the floor"_s;
        return {};
    }

    // The pair's share of one core in class before the floor was given.
    double listeningPercent() const { return m_listeningPercent; }

    void startCpu()
    {
        m_cpuClock.start();
        m_cpuStart = pairCpu();
        m_annThreads = threadCpuSeconds(m_ann->process().processId());
        m_bobThreads = threadCpuSeconds(m_bob->process().processId());
    }
    // Each program's busiest threads since startCpu().
    QString threads() const
    {
        const double seconds = double(m_cpuClock.nsecsElapsed()) / 1e9;
        return u"speaking: "_s
            + busiestThreads(m_annThreads, threadCpuSeconds(m_ann->process().processId()), seconds)
            + u"; listening: "_s
            + busiestThreads(m_bobThreads, threadCpuSeconds(m_bob->process().processId()), seconds);
    }
    // The pair's share of one core since startCpu().
    double cpuPercent() const
    {
        return 100.0 * (pairCpu() - m_cpuStart) / (double(m_cpuClock.nsecsElapsed()) / 1e9);
    }

private:
    double pairCpu() const
    {
        return cpuSeconds(m_ann->process().processId()) + cpuSeconds(m_bob->process().processId());
    }

    std::unique_ptr<ProgramRun> enter(
        const QString &name, const QString &address, qint32 id, QProcessEnvironment env)
    {
        const QString data = m_folder + u"/"_s + name;
        QDir().mkpath(data + u"/Course"_s);
        QDir().mkpath(data + u"/config"_s);
        QFile::copy(ProgramRun::binFolder() + u"demo/courses/campus7/demo.lsn"_s,
            data + u"/Course/demo.lsn"_s);
        QFile settings(data + u"/config/DAZoraZuru.conf"_s);
        if (!settings.open(QIODevice::WriteOnly))
            return {};
        settings.write(QStringLiteral("[Options]\ngChatPort=%1\n").arg(m_talkPort).toUtf8());
        settings.close();
        if (!env.contains(u"DISPLAY"_s) && !env.contains(u"QT_QPA_PLATFORM"_s))
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        const QString code = id == Ann ? u"demo"_s : u"guest"_s;
        auto run = std::make_unique<ProgramRun>(u"LumoStudent"_s,
            QStringList{u"--data"_s, data, u"--auto"_s, u"--commands"_s, u"--local-address"_s,
                address, u"--campus"_s, u"127.0.0.1:%1"_s.arg(m_sim->campus()), u"--web"_s,
                u"127.0.0.1:%1"_s.arg(m_sim->web()), u"--user"_s, code, u"--password"_s, code,
                u"--enter"_s, u"12"_s},
            env);
        if (!run->started() || !m_sim->waitFor(u"ready"_s, id, 60000)
            || !m_sim->waitFor(u"voice-registered"_s, id, 20000)) {
            std::fprintf(stderr, "%s did not get into class:\n%s\n", qPrintable(name),
                qPrintable(run->transcript()));
            return {};
        }
        return run;
    }

    QString m_folder;
    quint16 m_talkPort;
    std::unique_ptr<ConsoleSim> m_sim;
    std::unique_ptr<ProgramRun> m_ann;
    std::unique_ptr<ProgramRun> m_bob;
    QElapsedTimer m_cpuClock;
    double m_cpuStart = 0;
    double m_listeningPercent = 0;
    std::map<QString, double> m_annThreads;
    std::map<QString, double> m_bobThreads;
};

QProcessEnvironment studentEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name :
        {"LUMO_VOICE_MIC_WAV", "LUMO_VOICE_PLAY_WAV", "PULSE_SINK", "PULSE_SOURCE"})
        env.remove(QString::fromLatin1(name));
    return env;
}

struct Run {
    QString why; // empty when measured
    Windows windows;
    double cpuPercent = 0; // Ann speaking, Bob listening
    double listeningPercent = 0; // both in class, nobody speaking
    QString threads; // where the CPU went while one spoke
};

// The baseline: Ann's microphone and Bob's loudspeaker are sound files. The
// files' clocks start when each program starts speaking and listening, which
// the bench does not see; only how the windows move is comparable.
Run soundFiles(const QString &folder, const QList<qint16> &speech)
{
    Run run;
    QDir().mkpath(folder);
    Voice::WavWriter writer;
    if (!writer.open(folder + u"/speech.wav"_s)
        || !writer.write(speech.constData(), int(speech.size()))) {
        run.why = u"cannot write the speech file"_s;
        return run;
    }
    writer.close();
    const QList<qint16> quiet(Voice::SampleRate, 0);
    if (!writer.open(folder + u"/silence.wav"_s)
        || !writer.write(quiet.constData(), int(quiet.size()))) {
        run.why = u"cannot write the silence file"_s;
        return run;
    }
    writer.close();
    QProcessEnvironment ann = studentEnvironment();
    ann.insert(u"LUMO_VOICE_MIC_WAV"_s, folder + u"/speech.wav"_s);
    ann.insert(u"LUMO_VOICE_PLAY_WAV"_s, folder + u"/ann-heard.wav"_s);
    QProcessEnvironment bob = studentEnvironment();
    bob.insert(u"LUMO_VOICE_MIC_WAV"_s, folder + u"/silence.wav"_s);
    bob.insert(u"LUMO_VOICE_PLAY_WAV"_s, folder + u"/bob-heard.wav"_s);

    ClassRun session(folder, PortFreeOnAll({AnnAddress, BobAddress}));
    run.why = session.enterAndGrant(ann, bob);
    if (!run.why.isEmpty())
        return run;
    session.startCpu();
    QTest::qWait(int(speech.size() * 1000 / Voice::SampleRate) + 2000);
    run.cpuPercent = session.cpuPercent();
    run.listeningPercent = session.listeningPercent();
    run.threads = session.threads();

    QString error;
    const QList<qint16> heard = Voice::LoadWavAs48kMono(folder + u"/bob-heard.wav"_s, &error);
    for (const int lag : windowLags(speech, heard))
        run.windows.ms.push_back(lag * 1000.0 / Voice::SampleRate);
    if (run.windows.ms.size() < 3)
        run.why = u"only %1 windows heard (%2)"_s.arg(run.windows.ms.size()).arg(error);
    return run;
}

// A stream's samples and when the sound server asked for or handed over
// each block: with the null sinks' steady clock, one offset maps a sample's
// index to the bench's clock.
struct Timeline {
    std::vector<qint64> offsetNs; // clock minus index time, one per block
    qint64 offset() const
    {
        std::vector<qint64> sorted = offsetNs;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
};

qint64 indexNs(qint64 index)
{
    return index * 1'000'000'000 / Voice::SampleRate;
}

// The sound server: the bench speaks into Ann's microphone sink and records
// Bob's loudspeaker sink, on one clock.
Run soundServer(const QString &folder, const QList<qint16> &speech)
{
    Run run;
    QDir().mkpath(folder);
    const NullSink annMouth(u"lumo_class_ann_mic"_s), annEar(u"lumo_class_ann_out"_s);
    const NullSink bobMouth(u"lumo_class_bob_mic"_s), bobEar(u"lumo_class_bob_out"_s);
    if (!annMouth.loaded() || !annEar.loaded() || !bobMouth.loaded() || !bobEar.loaded()) {
        run.why = u"no null sinks (pactl)"_s;
        return run;
    }

    QElapsedTimer clock;
    clock.start();
    std::mutex mutex;
    bool speaking = false;
    qint64 played = 0; // of the speech
    Timeline heardTimes, spokenTimes;
    QList<qint16> heard, spoken;
    bool recording = false;

    Voice::PulseStream mouth;
    Voice::PulseStream::Options out;
    out.direction = Voice::PulseStream::Direction::Playback;
    out.bufferMs = Voice::PlaybackTargetMs;
    out.device = annMouth.sink().toUtf8();
    QString why;
    if (!mouth.start(
            out, {},
            [&](qint16 *samples, int count) {
                const qint64 now = clock.nsecsElapsed();
                std::lock_guard lock(mutex);
                if (!speaking) {
                    std::fill(samples, samples + count, qint16(0));
                    return;
                }
                for (int i = 0; i < count; ++i, ++played)
                    samples[i] = played < speech.size() ? speech[played] : qint16(0);
            },
            {}, &why)) {
        run.why = why;
        return run;
    }
    // What Ann's microphone hears and what Bob's loudspeaker plays, both
    // recorded from their sinks' monitors with the same buffers: the delay
    // is between the two recordings. A gap in the bench's own speaking (its
    // stream starved on a busy machine) is in both and moves nothing, and
    // the two recordings' own latency is the same and cancels.
    const auto record = [&](Voice::PulseStream &stream, const QString &monitor,
                            QList<qint16> &samplesKept, Timeline &times) {
        Voice::PulseStream::Options in;
        in.direction = Voice::PulseStream::Direction::Capture;
        in.bufferMs = Voice::CaptureLatencyMs;
        in.device = monitor.toUtf8();
        // Every sample kept: a dropped backlog would shift the samples
        // against the clock.
        in.maxCaptureBacklogMs = 5000;
        return stream.start(
            in,
            [&](const qint16 *samples, int count) {
                const qint64 now = clock.nsecsElapsed();
                std::lock_guard lock(mutex);
                if (!recording)
                    return;
                samplesKept.append(QList<qint16>(samples, samples + count));
                times.offsetNs.push_back(now - indexNs(samplesKept.size()));
            },
            {}, {}, &why);
    };
    Voice::PulseStream ear, microphone;
    if (!record(ear, bobEar.monitor(), heard, heardTimes)
        || !record(microphone, annMouth.monitor(), spoken, spokenTimes)) {
        run.why = why;
        return run;
    }

    QProcessEnvironment ann = studentEnvironment();
    ann.insert(u"PULSE_SOURCE"_s, annMouth.monitor());
    ann.insert(u"PULSE_SINK"_s, annEar.sink());
    QProcessEnvironment bob = studentEnvironment();
    bob.insert(u"PULSE_SOURCE"_s, bobMouth.monitor());
    bob.insert(u"PULSE_SINK"_s, bobEar.sink());
    ClassRun session(folder, PortFreeOnAll({AnnAddress, BobAddress}));
    run.why = session.enterAndGrant(ann, bob);
    if (!run.why.isEmpty())
        return run;
    // The microphone stream opens as the floor is given; a monitor wakes
    // slowly and hands its first buffer over at once.
    QTest::qWait(1500);
    {
        std::lock_guard lock(mutex);
        recording = true;
        speaking = true;
    }
    session.startCpu();
    QTest::qWait(int(speech.size() * 1000 / Voice::SampleRate) + 1000);
    run.cpuPercent = session.cpuPercent();
    run.listeningPercent = session.listeningPercent();
    run.threads = session.threads();
    ear.stop();
    microphone.stop();
    mouth.stop();

    const qint64 between = heardTimes.offset() - spokenTimes.offset();
    for (const int lag : windowLags(spoken, heard))
        run.windows.ms.push_back(double(indexNs(lag) + between) / 1e6);
    if (run.windows.ms.size() < 3)
        run.why = u"only %1 windows heard"_s.arg(run.windows.ms.size());
    return run;
}

void print(const char *what, const Run &run)
{
    std::printf("%s: ", what);
    if (!run.why.isEmpty()) {
        std::printf("not measured (%s)\n", qPrintable(run.why));
        return;
    }
    std::printf("%zu windows, best %.1f ms, worst %.1f ms, drift %.1f ms; CPU of both programs "
                "%.2f %% of one core while one speaks (%.2f %% in class before)\n  windows:",
        run.windows.ms.size(), run.windows.best(), run.windows.worst(), run.windows.drift(),
        run.cpuPercent, run.listeningPercent);
    for (const double w : run.windows.ms)
        std::printf(" %.0f", w);
    std::printf(
        "\n  busiest threads while one spoke (%% of one core): %s\n", qPrintable(run.threads));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (const char *program : {"LumoStudent", "lumo-classroom-sim", "libVocana.so"}) {
        if (!QFile::exists(ProgramRun::binFolder() + QString::fromLatin1(program))) {
            std::fprintf(stderr, "%s not built\n", program);
            return 1;
        }
    }
    QTemporaryDir dir;
    QString error;
    if (!TestSpeech::Make(dir.filePath(u"sentence.wav"_s), &error)) {
        std::fprintf(stderr, "no test speech: %s\n", qPrintable(error));
        return 1;
    }
    const QList<qint16> sentence = Voice::LoadWavAs48kMono(dir.filePath(u"sentence.wav"_s), &error);
    if (sentence.isEmpty()) {
        std::fprintf(stderr, "no test speech: %s\n", qPrintable(error));
        return 1;
    }
    // A minute of speech: the sentence again and again, a breath of its own
    // length after each, so that no two stretches of a minute look alike and
    // the alignment cannot slip by a sentence.
    QList<qint16> speech(Voice::SampleRate / 2, 0);
    for (int n = 0; speech.size() < SpeakSeconds * Voice::SampleRate; ++n)
        speech += sentence + QList<qint16>(Voice::SampleRate / 10 * (2 + (n * 7) % 9), 0);

    BenchFigures figures(u"voice_class"_s);
    const Run files = soundFiles(dir.filePath(u"files"_s), speech);
    print("Two programs with sound files (the baseline; windows relative to the files' "
          "unknown start, only their movement counts)",
        files);

    const Run server = soundServer(dir.filePath(u"server"_s), speech);
    print("Two programs on the sound server, mouth to ear", server);
    if (!server.why.isEmpty() || !files.why.isEmpty())
        return 0;

    const double swing = server.windows.worst() - server.windows.best();
    const double filesSwing = files.windows.worst() - files.windows.best();
    figures.add(u"voice/class/two programs on the sound server"_s,
        u"worst 3 s window, mouth to ear ms"_s, server.windows.worst(), {}, 0,
        BenchFigures::Target::ValueAtMost, 150);
    figures.add(u"voice/class/two programs on the sound server"_s,
        u"swing between 3 s windows, ms"_s, swing, u"sound files"_s, filesSwing);
    figures.add(u"voice/class/two programs on the sound server"_s, u"drift over a minute, ms"_s,
        std::abs(server.windows.drift()), u"sound files"_s, std::abs(files.windows.drift()),
        BenchFigures::Target::ValueAtMost, 60);
    figures.add(u"voice/class/two programs on the sound server"_s,
        u"CPU of the speaking and the listening program, % of one core"_s, server.cpuPercent,
        u"sound files"_s, files.cpuPercent);
    figures.add(u"voice/class/two programs on the sound server"_s,
        u"CPU the speaking adds to the pair, % of one core"_s,
        server.cpuPercent - server.listeningPercent, u"sound files"_s,
        files.cpuPercent - files.listeningPercent);
    return 0;
}
