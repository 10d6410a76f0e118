// Floods from the classroom server against one student's live class with
// its real controls (user list, notes panel and the units between): 100 000
// arrivals, then 50 000 of them leaving, then 10 000 notes written at once.
// The server writes from a thread of its own, so its sending is not the
// client's stall.
//
// Each flood runs two ways: through the socket, as the program receives it
// (dispatched in slices), and as the baseline the same frames handed to the
// receive path in one call, which dispatches everything at once as the
// socket handler did before slices. Printed: the longest stall of the event
// loop (a 1 ms probe timer) and the time until the last frame was handled,
// medians over the rounds, and the ratios.
#include "bench/report/figures.h"
#include "client/classroom/live/tests/testclient.h"
#include "protocol/framecodec.h"
#include "protocol/messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using LiveTest::TestClient;

namespace {

constexpr int Arrivals = 100000;
constexpr int Departures = 50000;
constexpr int Notes = 10000;
constexpr qint32 FirstID = 1000;

double Median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

QByteArray Frame(quint8 type, qint32 verb, qint32 id, const QByteArray &payload)
{
    MsgContent msg;
    msg.mcVersion = 1;
    msg.mcLanguage = 1;
    msg.mcCommandType = type;
    msg.mcCommandVerb = verb;
    msg.mcID = id;
    msg.mcLength = qint32(payload.size());
    msg.mcDatas = payload;
    Wire::Failure failure;
    return FrameCodec::ConvertToStream(msg, FrameHeaderSize + msg.mcLength, failure);
}

QByteArray ArrivalFlood()
{
    QByteArray bytes;
    for (qint32 i = 0; i < Arrivals; ++i) {
        Wire::Failure failure;
        const qint32 id = FirstID + i;
        bytes += Frame(mtUserList, 3, 0,
            Messages::userList(1, {UserInfo{id, u"s%1"_s.arg(id), 4, 1}}, failure));
    }
    return bytes;
}

QByteArray DepartureFlood()
{
    QByteArray bytes;
    for (qint32 i = 0; i < Departures; ++i)
        bytes += Frame(mtLogin, 1, FirstID + i, {});
    return bytes;
}

QByteArray NoteFlood()
{
    QByteArray bytes;
    for (int i = 0; i < Notes; ++i) {
        const Messages::Built note = Messages::note(FirstID, 0, u"flood note %1"_s.arg(i));
        bytes += Frame(mtNotes, note.verb, FirstID, note.payload);
    }
    return bytes;
}

// The server: one connection, written to from its own thread.
class Flooder : public QObject
{
public:
    Flooder()
    {
        moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_server = new QTcpServer(this);
                m_server->listen(QHostAddress::LocalHost, 0);
                connect(m_server, &QTcpServer::newConnection, this,
                    [this] { m_peer = m_server->nextPendingConnection(); });
            },
            Qt::BlockingQueuedConnection);
    }
    ~Flooder() override
    {
        QMetaObject::invokeMethod(
            this, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port()
    {
        quint16 port = 0;
        QMetaObject::invokeMethod(
            this, [this] { return m_server->serverPort(); }, Qt::BlockingQueuedConnection, &port);
        return port;
    }
    bool connected()
    {
        bool yes = false;
        QMetaObject::invokeMethod(
            this, [this] { return m_peer != nullptr; }, Qt::BlockingQueuedConnection, &yes);
        return yes;
    }
    void send(const QByteArray &bytes)
    {
        QMetaObject::invokeMethod(this, [this, bytes] {
            if (m_peer)
                m_peer->write(bytes);
        });
    }

private:
    QThread m_thread;
    QTcpServer *m_server = nullptr;
    QTcpSocket *m_peer = nullptr;
};

// The longest gap between two turns of the event loop, seen by a 1 ms timer.
class Probe
{
public:
    Probe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            longestNs = std::max(longestNs, m_clock.nsecsElapsed() - m_last);
            m_last = m_clock.nsecsElapsed();
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        longestNs = 0;
        m_timer.start(1);
    }
    void stop() { m_timer.stop(); }
    qint64 longestNs = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};

struct Figure {
    double stallMs = 0;
    double doneMs = 0;
};

// Delivers `bytes` one way or the other and waits until `done` holds.
Figure Deliver(TestClient &client, Flooder *flooder, const QByteArray &bytes,
    const std::function<bool()> &done)
{
    Probe probe;
    QElapsedTimer clock;
    probe.start();
    clock.start();
    if (flooder) {
        flooder->send(bytes);
    } else {
        // On the next turn of the loop, as a socket read would come.
        QTimer::singleShot(
            0, &client.remote, [&client, bytes] { client.remote.ReceiveBytes(bytes); });
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(300000, &loop, &QEventLoop::quit);
    loop.exec();
    probe.stop();
    return {probe.longestNs / 1e6, done() ? clock.nsecsElapsed() / 1e6 : -1};
}

struct Round {
    Figure arrivals, departures, notes;
};

Round RunRound(
    bool sliced, const QByteArray &arrivals, const QByteArray &departures, const QByteArray &notes)
{
    Round round;
    TestClient client(QString{});
    client.session.MyID = 11;
    client.remote.setMyID(11);
    std::unique_ptr<Flooder> flooder;
    if (sliced) {
        flooder = std::make_unique<Flooder>();
        client.remote.Connect(u"127.0.0.1"_s, QString::number(flooder->port()));
        if (!QTest::qWaitFor([&] { return flooder->connected(); }, 5000))
            return round;
    }
    Flooder *via = flooder.get();
    const int before = client.users->Count();
    round.arrivals = Deliver(
        client, via, arrivals, [&] { return client.users->Count() >= before + Arrivals; });
    round.departures = Deliver(client, via, departures,
        [&] { return client.users->Count() <= before + Arrivals - Departures; });
    const QString last = u"flood note %1"_s.arg(Notes - 1);
    round.notes = Deliver(client, via, notes, [&] { return client.history().contains(last); });
    client.remote.Disconnect();
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    qputenv("LUMO_DATA_DIR", QFile::encodeName(dir.path()));
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(dir.path() + u"/LumoClass.log"_s));

    const QByteArray arrivals = ArrivalFlood();
    const QByteArray departures = DepartureFlood();
    const QByteArray notes = NoteFlood();

    struct Series {
        QList<double> stall, done;
        void add(const Figure &f)
        {
            stall << f.stallMs;
            done << f.doneMs;
        }
    };
    Series sliced[3], whole[3];
    // Alternate the two ways so that a busy machine weighs on both alike.
    for (int i = 0; i < rounds; ++i) {
        for (const bool viaSocket : {true, false}) {
            const Round r = RunRound(viaSocket, arrivals, departures, notes);
            Series *s = viaSocket ? sliced : whole;
            s[0].add(r.arrivals);
            s[1].add(r.departures);
            s[2].add(r.notes);
            std::printf("round %d %s: arrivals stall %.0f ms (all in %.0f ms), departures stall "
                        "%.0f ms (%.0f ms), notes stall %.0f ms (%.0f ms)\n",
                i + 1, viaSocket ? "socket, sliced" : "one call      ", r.arrivals.stallMs,
                r.arrivals.doneMs, r.departures.stallMs, r.departures.doneMs, r.notes.stallMs,
                r.notes.doneMs);
        }
    }

    BenchFigures figures(u"floods"_s);
    const char *const names[] = {"100 000 arrivals", "50 000 departures", "10 000 notes"};
    for (int k = 0; k < 3; ++k) {
        const double stall = Median(sliced[k].stall);
        const double baseline = Median(whole[k].stall);
        std::printf("%s: longest stall %.1f ms sliced, %.1f ms in one call (ratio %.3f; target "
                    "<= 1000 ms: %s); all handled in %.0f ms sliced, %.0f ms in one call\n",
            names[k], stall, baseline, baseline > 0 ? stall / baseline : 0,
            stall <= 1000 ? "met" : "NOT met", Median(sliced[k].done), Median(whole[k].done));
        const QString path = u"floods/"_s + QString::fromUtf8(names[k]);
        figures.add(path + u" longest stall"_s, u"median ms"_s, stall,
            u"the same frames dispatched in one call"_s, baseline,
            BenchFigures::Target::ValueAtMost, 1000);
        figures.add(path + u" all handled"_s, u"median ms"_s, Median(sliced[k].done),
            u"the same frames dispatched in one call"_s, Median(whole[k].done));
    }
    return 0;
}
