// Two figures of the road before a class, each measured in one run:
// - the campus road from OK in the login dialog to the booking dialog
//   against the local servers, without the pause before the dialog
//   (target: median at most 300 ms);
// - the download of a 200 MB courseware file against curl of the same URL
//   from the same server (target: at least 0.8 of curl's throughput).
// The servers run on a thread of their own, so the client and curl meet
// the same server.
#include "bench/report/figures.h"
#include "client/campus/campusroad.h"
#include "client/campus/coursecatalogue.h"
#include "client/campus/coursewaredownloader.h"
#include "client/campus/frmlogin.h"
#include "client/campus/frmsubscribe.h"
#include "client/campus/frmtip.h"
#include "client/session/sessionstate.h"
#include "common/prompter.h"
#include "common/settingsstore.h"
#include "controls/coursemanage/courseware/coursewarewriter.h"
#include "protocol/clsremotesync.h"
#include "sim/core/simulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const char *const Config = R"({
  "courseFolder": "courses",
  "users": [{"code": "ann", "id": 11, "password": "pw", "nick": "ann"}],
  "categories": [{"id": 7, "name": "English", "text": "spoken English"}],
  "classrooms": [{"name": "a"}],
  "courses": [{"id": 12, "category": 7, "file": "big.lsn", "teacher": "t",
    "classroom": "a", "booked": ["ann"]}]
})";

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// The simulator on its own thread; ports read back once it listens.
class ServerThread : public QThread
{
public:
    ServerThread(SimConfig config)
        : m_config(std::move(config))
    { }
    QJsonObject ports;

protected:
    void run() override
    {
        Simulator::Options options;
        options.scriptStart = Simulator::ScriptStart::Never;
        Simulator sim(m_config, options, {});
        QString error;
        if (!sim.start(error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            ports = {{u"error"_s, error}};
            m_ready.release();
            return;
        }
        ports = sim.ports();
        m_ready.release();
        exec();
    }

public:
    void waitReady() { m_ready.acquire(); }

private:
    SimConfig m_config;
    QSemaphore m_ready;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("LUMO_CONFIG_DIR", QFile::encodeName(home.path()));
    qputenv("LUMO_DATA_DIR", QFile::encodeName(home.path() + u"/data"_s));
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(home.path() + u"/LumoClass.log"_s));

    const qint64 size = qEnvironmentVariableIsSet("LUMO_BENCH_DOWNLOAD_MB")
        ? qEnvironmentVariableIntValue("LUMO_BENCH_DOWNLOAD_MB") * qint64(1) << 20
        : qint64(200) << 20;
    const QString base = home.path() + u"/sim"_s;
    QDir().mkpath(base + u"/courses/campus7"_s);
    {
        // A real course whose one item is a big sound file, stored without
        // compression: the downloader checks what it received before it keeps
        // it, so a file of filler bytes would be refused.
        const QString source = home.path() + u"/big.wav"_s;
        QFile sound(source);
        if (!sound.open(QIODevice::WriteOnly))
            return 1;
        QByteArray block(1 << 20, Qt::Uninitialized);
        quint32 state = 1;
        for (qint64 written = 0; written < size; written += block.size()) {
            for (char &c : block) {
                state = state * 1664525u + 1013904223u;
                c = char(state >> 24);
            }
            sound.write(block);
        }
        sound.close();
        Courseware::CourseDocument document;
        document.teacherName = u"teacher"_s;
        document.root = {u"_0"_s, u"Course"_s, u"folder"_s, u"Course"_s,
            {{u"_0_1"_s, u"big.wav"_s, u"wav"_s, source, {}}}};
        Courseware::WriteOptions options;
        options.compressionLevel = 0;
        const Courseware::WriteResult written = Courseware::WriteCoursewareFile(
            base + u"/courses/campus7/big.lsn"_s, document, options);
        QFile::remove(source);
        if (!written.ok) {
            std::fprintf(stderr, "no course to download: %s\n", qPrintable(written.error));
            return 1;
        }
    }
    SimConfig config;
    QString error;
    if (!ParseSimConfig(Config, base, config, error))
        return 1;
    ServerThread server(config);
    server.start();
    server.waitReady();
    if (server.ports.contains(u"error"_s))
        return 1;
    const QString webHost = u"127.0.0.1:%1"_s.arg(server.ports.value(u"web"_s).toInt());
    BenchFigures figures(u"campus"_s);

    // The road.
    {
        Global::ScriptedPrompter prompter;
        clsRemoteSync remote;
        SessionState session;
        const CourseCatalogue catalogue(Global::StudentAppName);
        frmLogin login(prompter);
        FrmTip tip;
        FrmSubscribe subscribe(session, catalogue, prompter);
        const Global::ServerSettings settings{
            u"127.0.0.1"_s, QString::number(server.ports.value(u"campus"_s).toInt()), u"2001"_s};
        CampusRoad road({remote, session, prompter, catalogue, login, tip, subscribe,
            [&] { return settings; }, [&] { return webHost; }, {}});
        CampusRoad::Timing timing;
        timing.bookingPauseMs = 0;
        road.setTiming(timing);
        QList<double> runs;
        for (int i = 0; i < 21; ++i) {
            QElapsedTimer clock;
            clock.start();
            road.ConnectAs(u"ann"_s, u"pw"_s);
            if (!QTest::qWaitFor(
                    [&] { return road.state() == CampusRoad::State::Booking; }, 10000)) {
                std::fprintf(stderr, "the booking dialog did not open\n");
                return 1;
            }
            if (i > 0) // the first run pays for the first connections
                runs.append(clock.nsecsElapsed() / 1e6);
            road.Disconnect();
        }
        const double ms = median(runs);
        std::printf("campus road, OK to booking dialog: median %.1f ms (target <= 300)\n", ms);
        figures.add(u"campus/login to booking dialog"_s, u"median ms"_s, ms, {}, 0,
            BenchFigures::Target::ValueAtMost, 300);
    }

    // The download.
    {
        const QString url = u"http://"_s + webHost + u"/CampusDir/campus7/big.lsn"_s;
        const QString folder = home.path() + u"/dl/"_s;
        QDir().mkpath(folder);
        QList<double> ours;
        QList<double> curl;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer clock;
            clock.start();
            QProcess process;
            process.start(u"curl"_s, {u"-s"_s, u"-o"_s, folder + u"curl.lsn"_s, url});
            if (!process.waitForFinished(120000) || process.exitCode() != 0) {
                std::fprintf(stderr, "curl failed\n");
                return 1;
            }
            curl.append(clock.nsecsElapsed() / 1e6);

            CoursewareDownloader downloader;
            QSignalSpy finished(&downloader, &CoursewareDownloader::finished);
            clock.restart();
            downloader.start(QUrl(url), folder, u"big.lsn"_s);
            if (!finished.wait(120000)
                || finished.first().first().value<CoursewareDownloader::Outcome>()
                    != CoursewareDownloader::Outcome::Done) {
                std::fprintf(stderr, "download failed: %s\n",
                    finished.isEmpty() ? "no answer"
                                       : qPrintable(finished.first().value(2).toString()));
                return 1;
            }
            ours.append(clock.nsecsElapsed() / 1e6);
            if (QFileInfo(folder + u"big.lsn"_s).size()
                != QFileInfo(base + u"/courses/campus7/big.lsn"_s).size())
                return 1;
        }
        const double mb = double(QFileInfo(folder + u"big.lsn"_s).size()) / (1 << 20);
        const double oursRate = mb / (median(ours) / 1000);
        const double curlRate = mb / (median(curl) / 1000);
        std::printf("download of %.0f MB: %.0f MB/s, curl %.0f MB/s, ratio %.2f (target >= 0.9)\n",
            mb, oursRate, curlRate, oursRate / curlRate);
        figures.add(u"campus/courseware download"_s, u"MB/s (median of 3)"_s, oursRate,
            u"curl of the same URL"_s, curlRate, BenchFigures::Target::RatioAtLeast, 0.9);
    }
    server.quit();
    server.wait();
    return 0;
}
