// The session with the real program and the local servers:
//  - back in class after the servers return: the servers are stopped for a
//    different time each round and started again on their ports; measured
//    from their return to the program's "returned", against one class entry
//    (session Entering -> InClass) of the same run;
//  - Disconnect to the last datagram: the student holds the floor and
//    speaks (a tone from a sound file), the DisConnect button is clicked,
//    and the relay's counter is read until it stops; against one voice
//    packet's period measured while speaking.
#include "bench/report/figures.h"
#include "client/shell/tests/programrun.h"
#include "voice/core/voiceformat.h"
#include "voice/core/wavwriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr qint32 Student = 1001; // "demo" in the demo configuration

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QDateTime lineTime(const QJsonObject &line)
{
    return QDateTime::fromString(line.value(u"time"_s).toString(), Qt::ISODateWithMs);
}

class Bench
{
public:
    bool setUp()
    {
        if (!dir.isValid())
            return false;
        QDir().mkpath(dir.filePath(u"courses/campus7"_s));
        QFile::copy(ProgramRun::binFolder() + u"demo/courses/campus7/demo.lsn"_s,
            dir.filePath(u"courses/campus7/demo.lsn"_s));
        // Five seconds of a tone: the microphone never falls silent.
        QList<qint16> tone(5 * Voice::SampleRate);
        for (qsizetype i = 0; i < tone.size(); ++i)
            tone[i] = qint16(8000 * std::sin(2 * M_PI * 440 * double(i) / Voice::SampleRate));
        Voice::WavWriter writer;
        if (!writer.open(dir.filePath(u"tone.wav"_s))
            || !writer.write(tone.constData(), int(tone.size())))
            return false;
        writer.close();
        sim = std::make_unique<ConsoleSim>(
            dir.path(), SimRun::DemoConfig(dir.filePath(u"courses"_s)));
        return sim->ready();
    }

    std::unique_ptr<ProgramRun> student(const QString &name)
    {
        const QString data = dir.filePath(name);
        QDir().mkpath(data + u"/Course"_s);
        QFile::copy(ProgramRun::binFolder() + u"demo/courses/campus7/demo.lsn"_s,
            data + u"/Course/demo.lsn"_s);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(u"DISPLAY"_s) && !env.contains(u"QT_QPA_PLATFORM"_s))
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"LUMO_VOICE_MIC_WAV"_s, dir.filePath(u"tone.wav"_s));
        env.insert(u"LUMO_VOICE_PLAY_WAV"_s, dir.filePath(name + u"-heard.wav"_s));
        auto run = std::make_unique<ProgramRun>(u"LumoStudent"_s,
            QStringList{u"--data"_s, data, u"--auto"_s, u"--commands"_s, u"--campus"_s,
                u"127.0.0.1:%1"_s.arg(sim->campus()), u"--web"_s, u"127.0.0.1:%1"_s.arg(sim->web()),
                u"--user"_s, u"demo"_s, u"--password"_s, u"demo"_s, u"--enter"_s, u"12"_s},
            env);
        if (!run->waitForEvent(u"entry"_s, u"InClass"_s, 60000))
            return nullptr;
        return run;
    }

    // Entering -> InClass of the first entry, from the program's own clock.
    static double entryMs(const ProgramRun &run)
    {
        QDateTime entering;
        for (const QJsonObject &l : run.lines()) {
            if (l.value(u"event"_s).toString() != u"session"_s)
                continue;
            if (l.value(u"stage"_s).toString() == u"Entering"_s)
                entering = lineTime(l);
            else if (l.value(u"stage"_s).toString() == u"InClass"_s && entering.isValid())
                return double(entering.msecsTo(lineTime(l)));
        }
        return 0;
    }

    bool command(ProgramRun &run, const QString &line)
    {
        const qsizetype from = run.lineCount();
        run.send(line);
        return run.waitFrom(from, [&](const QJsonObject &l) {
            return l.value(u"event"_s).toString() == u"command"_s
                && l.value(u"result"_s).toString() == u"done"_s;
        });
    }

    QTemporaryDir dir;
    std::unique_ptr<ConsoleSim> sim;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    Bench bench;
    if (!bench.setUp()) {
        std::fprintf(stderr, "the local servers did not start\n");
        return 1;
    }

    // --- back in class after the servers return ---
    QList<double> back;
    double entry = 0;
    {
        auto run = bench.student(u"returning"_s);
        if (!run) {
            std::fprintf(stderr, "the student did not enter the class\n");
            return 1;
        }
        entry = Bench::entryMs(*run);
        const int outagesMs[] = {1000, 3000, 5000, 8000, 12000};
        for (int round = 0; round < rounds; ++round) {
            const int outage = outagesMs[round % 5];
            const qsizetype from = run->lineCount();
            ConsoleSim *old = bench.sim.get();
            old->program().process().kill();
            old->program().process().waitForFinished(5000);
            QTest::qWait(outage);
            auto restarted = std::make_unique<ConsoleSim>(
                bench.dir.path(), SimRun::DemoConfig(bench.dir.filePath(u"courses"_s)), old);
            if (!restarted->ready()) {
                std::fprintf(stderr, "the servers did not start again\n");
                return 1;
            }
            bench.sim = std::move(restarted);
            QElapsedTimer timer;
            timer.start();
            if (!run->waitFrom(
                    from,
                    [](const QJsonObject &l) {
                        return l.value(u"event"_s).toString() == u"returned"_s;
                    },
                    60000)) {
                std::fprintf(stderr, "round %d: not back within a minute\n", round + 1);
                return 1;
            }
            back << double(timer.elapsed());
            std::printf("servers away %5d ms: back in class %6.0f ms after they returned\n", outage,
                back.last());
        }
    }

    // --- Disconnect to the last datagram ---
    QList<double> lastDatagram;
    QList<double> periods;
    for (int round = 0; round < rounds; ++round) {
        auto run = bench.student(u"speaking%1"_s.arg(round));
        if (!run || !bench.command(*run, u"mic"_s)
            || !bench.sim->waitFor(u"floor-request"_s, Student, 10000)) {
            std::fprintf(stderr, "round %d: no floor request\n", round + 1);
            return 1;
        }
        bench.sim->command(u"grant %1"_s.arg(Student));
        if (!run->waitForEvent(u"stage"_s, u"正在讲话"_s, 10000)
            || !QTest::qWaitFor([&] { return bench.sim->relayReceived(Student) > 10; }, 10000)) {
            std::fprintf(stderr, "round %d: no voice at the relay\n", round + 1);
            return 1;
        }
        // The packet period while speaking.
        const qint64 before = bench.sim->relayReceived(Student);
        QTest::qWait(1000);
        const qint64 after = bench.sim->relayReceived(Student);
        periods << (after > before ? 1000.0 / double(after - before) : 0);

        // Read just before the click: a datagram that reaches the relay
        // after it shows as a change at the next reading (each about a
        // millisecond).
        qint64 count = bench.sim->relayReceived(Student);
        QElapsedTimer timer;
        timer.start();
        run->send(u"disconnect"_s);
        double last = 0;
        while (timer.elapsed() < 1500) {
            const qint64 now = bench.sim->relayReceived(Student);
            if (now != count) {
                count = now;
                last = double(timer.elapsed());
            }
        }
        lastDatagram << last;
        std::printf("round %d: last datagram %5.1f ms after the click (one packet: %4.1f ms)\n",
            round + 1, last, periods.last());
        run.reset();
        bench.sim->waitFor(u"left"_s, Student, 5000);
    }

    const double backMedian = median(back);
    const double lastMedian = median(lastDatagram);
    const double periodMedian = median(periods);
    std::printf("\nback in class after the servers return: median %.0f ms (one class entry %.0f "
                "ms), target <= 5000 ms\n",
        backMedian, entry);
    std::printf("Disconnect to the last datagram: median %.1f ms (one voice packet %.1f ms), "
                "target <= 100 ms\n",
        lastMedian, periodMedian);
    BenchFigures figures(u"session"_s);
    figures.add(u"session/back in class after the servers return"_s, u"median ms"_s, backMedian,
        u"one class entry"_s, entry, BenchFigures::Target::ValueAtMost, 5000);
    figures.add(u"session/Disconnect to the last datagram"_s, u"median ms"_s, lastMedian,
        u"one voice packet's period"_s, periodMedian, BenchFigures::Target::ValueAtMost, 100);
    return 0;
}
