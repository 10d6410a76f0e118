// Start-up time (process start until the first paint of the main window)
// and resident memory at that moment: the student program against a plain
// Qt window, measured in turns in one run. Also checks that the browser
// engine, the media framework, the sound server's client library and the
// image-format plugins are not loaded at start.
#include "bench/report/figures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Sample {
    double ms = 0;
    double rssKb = 0;
    int webEngine = 0;
    int multimedia = 0;
    int pulse = 0;
    int imagePlugins = 0;
    bool ok = false;
};

Sample Run(const QString &program, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    Sample sample;
    QByteArray out;
    while (process.waitForReadyRead(20000)) {
        out += process.readAllStandardOutput();
        if (out.contains('\n'))
            break;
    }
    sample.ms = double(timer.nsecsElapsed()) / 1e6;
    process.waitForFinished(5000);
    static const QRegularExpression re(
        QStringLiteral("shown rss_kb=(\\d+) webengine=(\\d) multimedia=(\\d) pulse=(\\d) "
                       "imageplugins=(\\d)"));
    const auto m = re.match(QString::fromLatin1(out));
    if (m.hasMatch()) {
        sample.rssKb = m.captured(1).toDouble();
        sample.webEngine = m.captured(2).toInt();
        sample.multimedia = m.captured(3).toInt();
        sample.pulse = m.captured(4).toInt();
        sample.imagePlugins = m.captured(5).toInt();
        sample.ok = true;
    }
    return sample;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 11;
    const QString folder = QCoreApplication::applicationDirPath() + u'/';
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM"))
        && !env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const char *name : {"LUMO_CONFIG_DIR", "LUMO_DATA_DIR"})
        env.insert(QString::fromLatin1(name), home.path() + u'/' + QString::fromLatin1(name));
    env.insert(QStringLiteral("LUMO_ERROR_LOG"), home.path() + QStringLiteral("/LumoClass.log"));
    env.insert(
        QStringLiteral("LUMO_MACHINE_SETTINGS"), home.path() + QStringLiteral("/machine.conf"));

    std::vector<double> baseMs, baseKb, studentMs, studentKb;
    int webEngine = 0;
    int multimedia = 0;
    int pulse = 0;
    int imagePlugins = 0;
    // One warm-up each (disk cache), then alternating turns.
    Run(folder + QStringLiteral("startup_probe_minimal"), env);
    Run(folder + QStringLiteral("startup_probe_student"), env);
    for (int i = 0; i < rounds; ++i) {
        const Sample base = Run(folder + QStringLiteral("startup_probe_minimal"), env);
        const Sample student = Run(folder + QStringLiteral("startup_probe_student"), env);
        if (!base.ok || !student.ok) {
            std::fprintf(stderr, "bench_startup: a probe did not report\n");
            return 1;
        }
        baseMs.push_back(base.ms);
        baseKb.push_back(base.rssKb);
        studentMs.push_back(student.ms);
        studentKb.push_back(student.rssKb);
        webEngine = std::max(webEngine, student.webEngine);
        multimedia = std::max(multimedia, student.multimedia);
        pulse = std::max(pulse, student.pulse);
        imagePlugins = std::max(imagePlugins, student.imagePlugins);
    }
    const double tBase = Median(baseMs), tStudent = Median(studentMs);
    const double mBase = Median(baseKb), mStudent = Median(studentKb);
    std::printf("start-up until the window is shown (median of %d, %s)\n", rounds,
        qPrintable(env.value(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"))));
    std::printf("  minimal Qt window : %8.1f ms  %8.0f kB\n", tBase, mBase);
    std::printf("  LumoStudent       : %8.1f ms  %8.0f kB\n", tStudent, mStudent);
    std::printf("  ratio             : %8.2f x (target <= 1.5)  %6.2f x (target <= 1.3)\n",
        tStudent / tBase, mStudent / mBase);
    std::printf("  browser engine loaded at start: %s\n", webEngine ? "yes" : "no");
    std::printf("  media framework loaded at start: %s\n", multimedia ? "yes" : "no");
    std::printf("  sound server library loaded at start: %s\n", pulse ? "yes" : "no");
    std::printf("  image-format plugins loaded at start: %s\n", imagePlugins ? "yes" : "no");

    BenchFigures figures(QStringLiteral("bench_startup"));
    figures.add(QStringLiteral("start-up/time to main window"), QStringLiteral("median ms"),
        tStudent, QStringLiteral("minimal Qt window"), tBase, BenchFigures::Target::RatioAtMost,
        1.5);
    figures.add(QStringLiteral("start-up/resident memory"), QStringLiteral("median kB"), mStudent,
        QStringLiteral("minimal Qt window"), mBase, BenchFigures::Target::RatioAtMost, 1.3);
    figures.add(QStringLiteral("start-up/browser engine loaded"), QStringLiteral("0 or 1"),
        webEngine, {}, 0, BenchFigures::Target::ValueAtMost, 0);
    figures.add(QStringLiteral("start-up/media framework loaded"), QStringLiteral("0 or 1"),
        multimedia, {}, 0, BenchFigures::Target::ValueAtMost, 0);
    figures.add(QStringLiteral("start-up/sound server library loaded"), QStringLiteral("0 or 1"),
        pulse, {}, 0, BenchFigures::Target::ValueAtMost, 0);
    figures.add(QStringLiteral("start-up/image-format plugins loaded"), QStringLiteral("0 or 1"),
        imagePlugins, {}, 0, BenchFigures::Target::ValueAtMost, 0);
    return 0;
}
