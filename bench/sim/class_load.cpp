// bench_sim_class_load: joins N headless students to one simulated
// classroom, has one of them send notes to everybody and measures, for each
// note, the time until the last student has it. Steps N up through every
// class size and prints, per step, the median and the worst of those times
// and the median's ratio to the first step (the baseline, measured in the
// same run); then the largest class in which every note reached everybody
// within 100 ms, and the median at 1 200 students.
//
//   bench_sim_class_load [--max N] [--notes K]
#include "bench/report/figures.h"
#include "protocol/clsremotesync.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qint32 FirstId = 100001;
constexpr double LimitMs = 100.0;

struct StepResult {
    int students = 0;
    double medianMs = 0;
    double worstMs = 0;
    int lost = 0;
};

class LoadStep : public QObject
{
    Q_OBJECT

public:
    LoadStep(int students, int notes)
        : m_students(students)
        , m_notes(notes)
    { }

    void start()
    {
        QJsonArray users;
        users.append(QJsonObject{{u"code"_s, u"teacher"_s}, {u"id"_s, 9}, {u"type"_s, 2},
            {u"nick"_s, u"teacher"_s}, {u"scripted"_s, true}});
        for (int i = 0; i < m_students; ++i) {
            users.append(QJsonObject{{u"code"_s, u"s%1"_s.arg(i)}, {u"id"_s, FirstId + i},
                {u"password"_s, u"pw"_s}, {u"nick"_s, u"s%1"_s.arg(i)}});
        }
        const QJsonObject config{{u"users"_s, users},
            {u"categories"_s, QJsonArray{QJsonObject{{u"id"_s, 1}, {u"name"_s, u"load"_s}}}},
            {u"classrooms"_s, QJsonArray{QJsonObject{{u"name"_s, u"load"_s}, {u"teacher"_s, 9}}}}};
        QFile file(m_dir.filePath(u"load.json"_s));
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(config).toJson()) < 0) {
            fail("cannot write the configuration");
            return;
        }
        file.close();
        connect(&m_sim, &QProcess::readyReadStandardOutput, this, &LoadStep::readSim);
        m_sim.start(QStringLiteral(LUMO_SIM_PATH),
            {u"--config"_s, file.fileName(), u"--no-console"_s, u"--script-start"_s, u"never"_s});
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, [this] { fail("timed out"); });
        m_deadline.start(120000);
    }

    StepResult result;
    bool failed = false;

Q_SIGNALS:
    void finished();

private:
    void fail(const char *why)
    {
        std::fprintf(stderr, "bench_sim_class_load: %d students: %s\n", m_students, why);
        failed = true;
        stop();
    }

    void readSim()
    {
        // Everything after the first line is the simulator's log: read and
        // dropped, so its pipe never fills.
        const QByteArray bytes = m_sim.readAllStandardOutput();
        if (m_port != 0)
            return;
        m_firstLine.append(bytes);
        const qsizetype newline = m_firstLine.indexOf('\n');
        if (newline < 0)
            return;
        m_port = QJsonDocument::fromJson(m_firstLine.left(newline))
                     .object()
                     .value(u"classroom"_s)
                     .toInt();
        if (m_port == 0) {
            fail("the simulator named no classroom port");
            return;
        }
        joinStudents();
    }

    void joinStudents()
    {
        for (int i = 0; i < m_students; ++i) {
            auto client = std::make_unique<clsRemoteSync>();
            clsRemoteSync *raw = client.get();
            raw->setMyID(FirstId + i);
            connect(raw, &clsRemoteSync::Connected, this, [raw] { raw->Login(1, u"pw"_s); });
            connect(raw, &clsRemoteSync::GetMsgUserList, this,
                [this](qint32 count, const QString &, qint16 verb) {
                    if (verb == 1 && count > 0 && ++m_joined == m_students)
                        QTimer::singleShot(300 + m_students, this, &LoadStep::sendNote);
                });
            connect(raw, &clsRemoteSync::GetNoteMessage, this,
                [this](qint32, qint32, const QString &message) { received(message); });
            connect(raw, &clsRemoteSync::SocketError, this,
                [this] { fail("a student lost its connection"); });
            m_clients.push_back(std::move(client));
            raw->Connect(u"127.0.0.1"_s, QString::number(m_port));
        }
    }

    void sendNote()
    {
        if (failed)
            return;
        m_arrivals = 0;
        m_current = u"note %1"_s.arg(m_sent++);
        m_clock.start();
        QTimer::singleShot(2000, this, [this, note = m_current] {
            if (m_current == note && m_arrivals < m_students) {
                ++result.lost;
                nextOrFinish();
            }
        });
        m_clients.front()->SendNoteMessage(FirstId, 0, m_current);
    }

    void received(const QString &message)
    {
        if (message != m_current)
            return;
        // The sender's own echo counts: it is a student of the class too.
        if (++m_arrivals < m_students)
            return;
        m_times.push_back(double(m_clock.nsecsElapsed()) / 1e6);
        m_current.clear();
        nextOrFinish();
    }

    void nextOrFinish()
    {
        m_current.clear();
        if (m_sent < m_notes) {
            QTimer::singleShot(20, this, &LoadStep::sendNote);
            return;
        }
        std::sort(m_times.begin(), m_times.end());
        result.students = m_students;
        if (!m_times.empty()) {
            result.medianMs = m_times[m_times.size() / 2];
            result.worstMs = m_times.back();
        }
        stop();
    }

    void stop()
    {
        m_deadline.stop();
        // Later: this may run inside one of the students' own signals.
        for (auto &client : m_clients) {
            client->disconnect(this);
            client.release()->deleteLater();
        }
        m_clients.clear();
        m_sim.terminate();
        if (!m_sim.waitForFinished(5000))
            m_sim.kill();
        QTimer::singleShot(0, this, &LoadStep::finished);
    }

    int m_students;
    int m_notes;
    QTemporaryDir m_dir;
    QProcess m_sim;
    QByteArray m_firstLine;
    int m_port = 0;
    std::vector<std::unique_ptr<clsRemoteSync>> m_clients;
    int m_joined = 0;
    int m_sent = 0;
    int m_arrivals = 0;
    QString m_current;
    QElapsedTimer m_clock;
    QTimer m_deadline;
    std::vector<double> m_times;
};

} // namespace

int main(int argc, char **argv)
{
    // Qt's own event dispatcher, here and in the simulator, which inherits
    // the environment: glib's re-arms a source per socket notifier change,
    // which turns one note to N students into N² work. "QT_NO_GLIB=" (set,
    // empty) measures with glib for comparison.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    std::printf(
        "event dispatcher: %s\n", qEnvironmentVariableIsEmpty("QT_NO_GLIB") ? "glib" : "Qt");
    QCoreApplication app(argc, argv);
    // A roster travels in one frame of at most 32768 bytes: 1489 people.
    int maxStudents = 1488;
    int notes = 30;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--max"_s)
            maxStudents = args[i + 1].toInt();
        else if (args[i] == u"--notes"_s)
            notes = qMax(1, args[i + 1].toInt());
    }
    // Every student is a socket here and one in the simulator, which
    // inherits the raised limit.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
        maxStudents = int(qMin<rlim_t>(rlim_t(maxStudents), (files.rlim_cur - 64)));
    }
    QList<int> steps;
    for (const int n : {10, 25, 50, 100, 200, 400, 800, 1200, 1488}) {
        if (n <= maxStudents)
            steps.append(n);
    }

    std::printf("students  median ms  worst ms  ratio to %d  lost  within %.0f ms\n",
        steps.value(0), LimitMs);
    double baseline = 0;
    int held = 0;
    bool allHeld = true;
    double medianAt1200 = -1;
    std::unique_ptr<LoadStep> step;
    std::function<void(qsizetype)> run = [&](qsizetype index) {
        if (index >= steps.size()) {
            QCoreApplication::quit();
            return;
        }
        step = std::make_unique<LoadStep>(steps[index], notes);
        QObject::connect(step.get(), &LoadStep::finished, &app, [&, index] {
            const StepResult r = step->result;
            const bool ok = !step->failed && r.lost == 0 && r.worstMs <= LimitMs;
            if (index == 0)
                baseline = r.medianMs;
            std::printf("%8d  %9.2f  %8.2f  %11.2f  %4d  %s\n", steps[index], r.medianMs, r.worstMs,
                baseline > 0 ? r.medianMs / baseline : 0.0, r.lost, ok ? "yes" : "no");
            std::fflush(stdout);
            allHeld = allHeld && ok;
            if (allHeld)
                held = steps[index];
            if (steps[index] == 1200 && !step->failed)
                medianAt1200 = r.medianMs;
            // Every size runs, so the 1 200-student figure exists even when
            // a smaller class already missed the limit.
            QTimer::singleShot(0, &app, [&, index] { run(index + 1); });
        });
        step->start();
    };
    run(0);
    app.exec();
    std::printf("one simulated classroom held %d students with every note at every student within "
                "%.0f ms\n",
        held, LimitMs);
    BenchFigures figures(u"sim_class_load"_s);
    figures.add(u"sim/class load/students held"_s,
        u"students with every note within %1 ms"_s.arg(LimitMs), held);
    if (medianAt1200 >= 0) {
        std::printf("median at 1200 students: %.2f ms\n", medianAt1200);
        figures.add(u"sim/class load/1200 students"_s, u"median note delay ms"_s, medianAt1200, {},
            0, BenchFigures::Target::ValueAtMost, LimitMs);
    }
    return held > 0 ? 0 : 1;
}

#include "class_load.moc"
