// Start cost of the presentation control: time to first paint and memory
// (PSS of the process and its descendants) of a small program showing the
// control with a picture, beside a minimal Qt Widgets window measured in the
// same run, and the cost of the first web item. Rounds alternate the
// programs so that a busy machine weighs on all of them alike.
#include "bench/report/figures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

qint64 MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double Median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Sample {
    double paintMs = 0;
    double pssKb = 0;
    double webMs = 0;
    double webPssKb = 0;
};

bool RunProbe(const QString &probe, const QString &mode, Sample *out)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 start = MonotonicNs();
    process.start(probe, {mode});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        std::fprintf(
            stderr, "%s: probe failed (%s)\n", qPrintable(mode), qPrintable(process.errorString()));
        process.kill();
        return false;
    }
    QMap<QString, QString> values;
    const QString line = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    for (const QString &pair : line.split(u' ', Qt::SkipEmptyParts))
        values.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    out->paintMs = double(values.value(u"first_paint_ns"_s).toLongLong() - start) / 1e6;
    out->pssKb = values.value(u"pss_kb"_s).toDouble();
    out->webMs = values.value(u"web_ms"_s).toDouble();
    out->webPssKb = values.value(u"web_pss_kb"_s).toDouble();
    return out->paintMs > 0 && out->pssKb > 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 11;
    const QString probe = QCoreApplication::applicationDirPath() + u"/presentation_probe"_s;
    const QStringList modes{u"minimal"_s, u"minimal-shared"_s, u"control"_s, u"web"_s};
    QMap<QString, QList<Sample>> samples;

    // The probes' data folder, with the picture and the page they show.
    QTemporaryDir data;
    qputenv("LUMO_DATA_DIR", QFile::encodeName(data.path()));
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(data.path() + u"/LumoClass.log"_s));
    const QString temp = data.path() + u"/temp/"_s;
    QDir().mkpath(temp);
    QImage page(640, 480, QImage::Format_RGB32);
    page.fill(Qt::white);
    QFile html(temp + u"bench-page.html"_s);
    if (!page.save(temp + u"bench-page.png"_s) || !html.open(QIODevice::WriteOnly)
        || html.write("<html><head><title>bench</title></head><body><h1>Lesson</h1></body></html>")
            < 0) {
        std::fprintf(stderr, "cannot write the probe's files in %s\n", qPrintable(temp));
        return 1;
    }
    html.close();

    // One unmeasured round warms the page cache for every program.
    for (const QString &mode : modes) {
        Sample ignored;
        if (!RunProbe(probe, mode, &ignored))
            return 1;
    }
    for (int round = 0; round < rounds; ++round) {
        for (const QString &mode : modes) {
            Sample sample;
            if (!RunProbe(probe, mode, &sample))
                return 1;
            samples[mode] << sample;
        }
    }

    auto median = [&](const QString &mode, double Sample::*field) {
        QList<double> values;
        for (const Sample &s : std::as_const(samples[mode]))
            values << s.*field;
        return Median(values);
    };
    const double baseTime = median(u"minimal"_s, &Sample::paintMs);
    const double basePss = median(u"minimal"_s, &Sample::pssKb);
    std::printf("presentation control start cost, %d rounds, medians (platform %s)\n", rounds,
        qgetenv("QT_QPA_PLATFORM").isEmpty() ? "default" : qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("%-34s %12s %12s %10s %10s\n", "program", "paint ms", "PSS MB", "time x", "PSS x");
    auto row = [&](const char *name, double ms, double kb) {
        std::printf("%-34s %12.1f %12.1f %10.2f %10.2f\n", name, ms, kb / 1024, ms / baseTime,
            kb / basePss);
    };
    row("minimal Qt Widgets window", baseTime, basePss);
    // What asking Qt for shared OpenGL contexts at start-up would cost.
    row("minimal, AA_ShareOpenGLContexts", median(u"minimal-shared"_s, &Sample::paintMs),
        median(u"minimal-shared"_s, &Sample::pssKb));
    const double controlTime = median(u"control"_s, &Sample::paintMs);
    const double controlPss = median(u"control"_s, &Sample::pssKb);
    row("control showing a picture", controlTime, controlPss);
    row("control (web run) before web item", median(u"web"_s, &Sample::paintMs),
        median(u"web"_s, &Sample::pssKb));
    const double webPss = median(u"web"_s, &Sample::webPssKb);
    std::printf("%-34s %12.1f %12.1f %10s %10.2f\n", "after the first web item",
        median(u"web"_s, &Sample::webMs), webPss / 1024, "-", webPss / basePss);
    std::printf("(web row: ms from Play_OLE to the page's title being shown)\n");
    std::printf("targets until the first web item: time <= 1.50x -> %s, memory <= 1.30x -> %s\n",
        controlTime / baseTime <= 1.5 ? "met" : "MISSED",
        controlPss / basePss <= 1.3 ? "met" : "MISSED");

    BenchFigures figures(u"presentation"_s);
    const QString minimal = u"minimal Qt Widgets window"_s;
    figures.add(u"presentation/start until the first paint"_s, u"median ms"_s, controlTime, minimal,
        baseTime, BenchFigures::Target::RatioAtMost, 1.5);
    figures.add(u"presentation/memory until the first web item"_s, u"median PSS MB"_s,
        controlPss / 1024, minimal, basePss / 1024, BenchFigures::Target::RatioAtMost, 1.3);
    figures.add(u"presentation/memory after the first web item"_s, u"median PSS MB"_s,
        webPss / 1024, minimal, basePss / 1024);
    figures.add(u"presentation/first web item until shown"_s, u"median ms"_s,
        median(u"web"_s, &Sample::webMs));
    return 0;
}
