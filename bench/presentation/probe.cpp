// One measured start of a small program: a plain window ("minimal"; with
// Qt::AA_ShareOpenGLContexts: "minimal-shared"), or the same window with the
// presentation control showing a picture ("control"), which then shows its
// first web page ("web"). Prints one line of
// key=value pairs: the monotonic time of the first paint (ns), the PSS of
// the process and all its descendants (kB), and for "web" the same after
// the page is shown.
#include "common/apppaths.h"
#include "controls/whiteboardole/whiteboardole.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPainter>
#include <QTimer>

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

qint64 PssKb(qint64 pid)
{
    QFile file(u"/proc/%1/smaps_rollup"_s.arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

qint64 ParentOf(qint64 pid)
{
    QFile file(u"/proc/%1/stat"_s.arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // "pid (comm) state ppid ...": comm may hold spaces, so cut after ')'.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(1).toLongLong();
}

// This process and every descendant (the browser's helper processes).
qint64 TreePssKb()
{
    const qint64 self = QCoreApplication::applicationPid();
    QList<qint64> pids;
    QDirIterator it(u"/proc"_s, QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        bool ok = false;
        const qint64 pid = it.next().section(u'/', -1).toLongLong(&ok);
        if (ok)
            pids << pid;
    }
    qint64 total = 0;
    for (const qint64 pid : std::as_const(pids)) {
        for (qint64 p = pid; p > 1; p = ParentOf(p)) {
            if (p == self) {
                total += PssKb(pid);
                break;
            }
        }
    }
    return total;
}

class ProbeWindow : public QWidget
{
public:
    std::function<void()> onFirstPaint;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), palette().window());
        if (onFirstPaint) {
            auto call = std::move(onFirstPaint);
            onFirstPaint = nullptr;
            // After this paint has been flushed to the window.
            QTimer::singleShot(0, this, call);
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("minimal");
    const bool withControl = mode == "control" || mode == "web";
    if (mode == "minimal-shared")
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    ProbeWindow window;
    window.resize(800, 600);
    WhiteBoardOLE *control = nullptr;
    QString folder;
    if (withControl) {
        // The runner made the picture and the page in the temporary folder.
        folder = Global::TempFolder();
        control = new WhiteBoardOLE(&window);
        control->setGeometry(0, 0, 640, 480);
        control->setAreaStartPosX(u"0"_s);
        control->setAreaStartPosY(u"0"_s);
        control->setAreaEndPosX(u"640"_s);
        control->setAreaEndPosY(u"480"_s);
        control->setUserType(Ole::utStudent);
        control->setFileSource(folder + u"bench-page.png"_s);
        control->setFileType(u"1"_s);
        if (!control->Play_OLE()) {
            std::fprintf(stderr, "picture not shown: %s\n", qPrintable(control->ErrorText()));
            return 2;
        }
    }

    qint64 firstPaint = 0;
    window.onFirstPaint = [&] {
        firstPaint = MonotonicNs();
        // Settle: let late allocations of the first frame land.
        QTimer::singleShot(300, &app, [&] {
            const qint64 pssBefore = TreePssKb();
            if (mode != "web") {
                std::printf("first_paint_ns=%lld pss_kb=%lld\n", firstPaint, pssBefore);
                app.quit();
                return;
            }
            control->setFileSource(folder + u"bench-page.html"_s);
            control->setFileType(u"2"_s);
            const qint64 webStart = MonotonicNs();
            if (!control->Play_OLE()) {
                std::fprintf(stderr, "web page not shown: %s\n", qPrintable(control->ErrorText()));
                app.exit(2);
                return;
            }
            auto *poll = new QTimer(&app);
            QObject::connect(poll, &QTimer::timeout, &app, [&, poll, webStart, pssBefore] {
                if (control->webView()->property("title").toString() != u"bench"_s)
                    return;
                poll->stop();
                const qint64 webShown = MonotonicNs();
                QTimer::singleShot(500, &app, [&, webStart, webShown, pssBefore] {
                    std::printf("first_paint_ns=%lld pss_kb=%lld web_ms=%.1f web_pss_kb=%lld\n",
                        firstPaint, pssBefore, double(webShown - webStart) / 1e6, TreePssKb());
                    app.quit();
                });
            });
            poll->start(5);
        });
    };
    window.show();
    return app.exec();
}
