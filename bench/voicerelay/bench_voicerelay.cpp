// The voice relays against a bare forwarding loop on the same machine.
//
// A sender thread writes stamped packets as the classroom's relay would
// and reads them back where the engine listens; between the two sits
// either the client's relays (on their own thread) or a plain thread doing
// recv + sendto. The user-interface thread runs its event loop, once idle
// and once stalled 50 ms in every 100 ms: the relays must not notice.
#include "bench/report/figures.h"
#include "client/classroom/voice/voicerelays.h"
#include "protocol/clsremotesync.h"
#include "voice/wire/voicewire.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int PayloadBytes = 60; // an Opus voice frame of 20 ms, roughly

struct Udp {
    int fd = -1;
    quint16 port = 0;
    explicit Udp(quint16 wanted = 0, int timeoutMs = 500)
    {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(wanted);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
            std::perror("bind");
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~Udp() { ::close(fd); }
    void sendTo(const char *data, size_t size, quint16 to) const
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(to);
        ::sendto(fd, data, size, 0, reinterpret_cast<sockaddr *>(&a), sizeof a);
    }
    ssize_t receive(char *data, size_t size, quint16 *from = nullptr) const
    {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        const ssize_t got = ::recvfrom(fd, data, size, 0, reinterpret_cast<sockaddr *>(&a), &len);
        if (from)
            *from = ntohs(a.sin_port);
        return got;
    }
};

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// Sends `count` stamped packets from `server` to `relayPort`, one every
// `gapUs`, and reads each at `engine`: the delays in microseconds.
std::vector<double> stream(
    const Udp &server, quint16 relayPort, const Udp &engine, int count, int gapUs)
{
    std::vector<double> delays;
    delays.reserve(size_t(count));
    char packet[VoiceWire::HeaderSize + PayloadBytes] = {};
    VoiceWire::setPayloadLength(packet, PayloadBytes);
    char in[2048];
    for (int i = 0; i < count; ++i) {
        const qint64 sent = nowNs();
        std::memcpy(packet + VoiceWire::HeaderSize, &sent, sizeof sent);
        server.sendTo(packet, sizeof packet, relayPort);
        const ssize_t got = engine.receive(in, sizeof in);
        if (got == ssize_t(sizeof packet)) {
            qint64 stamp = 0;
            std::memcpy(&stamp, in + VoiceWire::HeaderSize, sizeof stamp);
            delays.push_back(double(nowNs() - stamp) / 1000.0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs));
    }
    return delays;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(std::min<double>(double(v.size() - 1), p * double(v.size() - 1)))];
}

// Runs `work` on its own thread while the event loop of this thread runs
// (stalling it 50 ms every 100 ms when asked); returns when work is done.
void withEventLoop(QCoreApplication &app, bool stall, const std::function<void()> &work)
{
    QTimer staller;
    staller.setInterval(100);
    QObject::connect(&staller, &QTimer::timeout, &app, [] {
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 50) { }
    });
    if (stall)
        staller.start();
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&app, [] { QCoreApplication::quit(); });
    });
    QCoreApplication::exec();
    worker.join();
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir logs;
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(logs.filePath(u"bench.log"_s)));
    QCoreApplication app(argc, argv);
    const int packets = argc > 1 ? std::max(100, std::atoi(argv[1])) : 3000;
    BenchFigures figures(u"voicerelay"_s);

    Udp server;
    clsRemoteSync remote;
    remote.setRemoteIP(u"127.0.0.1"_s);
    remote.setRemotePort(QString::number(server.port));
    ClassroomVoice::VoiceRelays relays({remote});
    relays.onClientKey("bench-key", 9);
    quint16 relayPort = 0;
    char registration[64];
    for (int i = 0; i < 6; ++i)
        server.receive(registration, sizeof registration, &relayPort);
    Udp engine(relays.LocalListenPort());

    // The bare loop: recv + sendto on a thread of its own.
    Udp bare;
    std::atomic<bool> bareRunning{true};
    std::thread bareLoop([&] {
        char buffer[2048];
        while (bareRunning) {
            const ssize_t got = bare.receive(buffer, sizeof buffer);
            if (got > 0)
                bare.sendTo(buffer, size_t(got), relays.LocalListenPort());
        }
    });

    constexpr int GapUs = 1000;
    std::vector<double> bareDelays, bareStalledDelays, idleDelays, stalledDelays;
    withEventLoop(app, false, [&] {
        stream(server, bare.port, engine, 200, GapUs); // warm-up
        bareDelays = stream(server, bare.port, engine, packets, GapUs);
    });
    // The stall spins a core: the bare loop under it shows what that alone
    // costs on this machine.
    withEventLoop(
        app, true, [&] { bareStalledDelays = stream(server, bare.port, engine, packets, GapUs); });
    withEventLoop(app, false, [&] {
        stream(server, relayPort, engine, 200, GapUs);
        idleDelays = stream(server, relayPort, engine, packets, GapUs);
    });
    withEventLoop(
        app, true, [&] { stalledDelays = stream(server, relayPort, engine, packets, GapUs); });
    bareRunning = false;
    bareLoop.join();

    const double bare50 = percentile(bareDelays, 0.5);
    const double idle50 = percentile(idleDelays, 0.5);
    const double idle99 = percentile(idleDelays, 0.99);
    const double stalled99 = percentile(stalledDelays, 0.99);
    std::printf("packets per run          %d (received: bare %zu, idle %zu, stalled %zu)\n",
        packets, bareDelays.size(), idleDelays.size(), stalledDelays.size());
    std::printf("bare recv+sendto loop    median %.1f us, p99 %.1f us\n", bare50,
        percentile(bareDelays, 0.99));
    std::printf("bare loop, UI stalled    median %.1f us, p99 %.1f us\n",
        percentile(bareStalledDelays, 0.5), percentile(bareStalledDelays, 0.99));
    std::printf("relays, UI idle          median %.1f us, p99 %.1f us  ratio %.2f (<= 1.3)\n",
        idle50, idle99, idle50 / bare50);
    std::printf("relays, UI stalled       median %.1f us, p99 %.1f us\n",
        percentile(stalledDelays, 0.5), stalled99);
    const double bare99 = percentile(bareDelays, 0.99);
    std::printf("p99 added delay          idle %.1f us, stalled %.1f us (<= 100 us)\n",
        idle99 - bare50, stalled99 - bare50);
    // On a loaded machine the bare loop's own tail is scheduling noise; the
    // tails side by side show what the relays add to it.
    std::printf("p99 against bare p99     idle %+.1f us, stalled %+.1f us\n", idle99 - bare99,
        stalled99 - bare99);
    using T = BenchFigures::Target;
    figures.add(u"voice relay/server to engine, UI idle"_s, u"median us"_s, idle50,
        u"bare recv+sendto loop"_s, bare50, T::RatioAtMost, 1.3);
    figures.add(u"voice relay/added delay, UI idle"_s, u"p99 us"_s, idle99 - bare50, {}, 0,
        T::ValueAtMost, 100);
    figures.add(u"voice relay/p99 delay, UI stalled 50 of 100 ms"_s, u"p99 us"_s, stalled99,
        u"bare loop p99, same stall"_s, percentile(bareStalledDelays, 0.99));
    figures.add(u"voice relay/added delay, UI stalled 50 of 100 ms"_s, u"p99 us"_s,
        stalled99 - bare50, {}, 0, T::ValueAtMost, 100);

    // CPU of the relay thread per stream of 50 packets a second.
    constexpr int StreamSeconds = 4;
    const auto cpuShare = [&](const std::function<void()> &run) {
        const qint64 before = relays.relayThreadCpuNs();
        QElapsedTimer wall;
        wall.start();
        withEventLoop(app, false, run);
        const qint64 cpu = relays.relayThreadCpuNs() - before;
        return 100.0 * double(cpu) / double(wall.nsecsElapsed());
    };
    const double listening
        = cpuShare([&] { stream(server, relayPort, engine, 50 * StreamSeconds, 20000); });
    relays.setSpeakOpen(true);
    Udp microphone;
    const double speaking = cpuShare([&] {
        // The engine speaks to the speak relay; the server reads each.
        stream(microphone, relays.LocalSpeakPort(), server, 50 * StreamSeconds, 20000);
    });
    std::printf("relay thread CPU         listening %.3f %%, speaking %.3f %% of a core\n",
        listening, speaking);
    figures.add(u"voice relay/CPU per listening stream"_s, u"% of a core"_s, listening, {}, 0,
        T::ValueAtMost, 1.5);
    figures.add(u"voice relay/CPU per speaking stream"_s, u"% of a core"_s, speaking, {}, 0,
        T::ValueAtMost, 1.5);
    return 0;
}
