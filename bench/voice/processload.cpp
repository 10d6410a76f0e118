#include "bench/voice/processload.h"

#include "voice/core/voiceformat.h"
#include "voice/core/wavwriter.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QUdpSocket>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// User plus system time of every thread of this process, in seconds.
double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Share of one core used over `ms` of waiting.
double sharedOnce(int ms)
{
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = processCpuSeconds();
    runFor(ms);
    const double cpu = processCpuSeconds() - cpu0;
    return 100.0 * cpu / (double(wall.nsecsElapsed()) / 1e9);
}

// The median of three windows: the machine's other work lands in one of
// them now and then.
double sharedOver(int ms)
{
    double shares[3];
    for (double &share : shares)
        share = sharedOnce(ms / 3);
    std::sort(std::begin(shares), std::end(shares));
    return shares[1];
}

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

} // namespace

ProcessLoad MeasureEnginePairs(const EngineCalls &calls, int pairs, int seconds,
    const QString &folder, const std::vector<qint16> *speech)
{
    ProcessLoad load;
    load.idlePercent = sharedOver(seconds * 1000);

    const QString speechPath = folder + u"/load-speech.wav"_s;
    if (speech) {
        Voice::WavWriter writer;
        if (!writer.open(speechPath) || !writer.write(speech->data(), int(speech->size()))) {
            load.why = u"cannot write the speech file"_s;
            return load;
        }
    }
    const QByteArray mic = speechPath.toUtf8();
    std::vector<QByteArray> heard;
    for (int i = 0; i < pairs; ++i)
        heard.push_back((folder + u"/load-heard-%1.wav"_s.arg(i)).toUtf8());

    const int32_t zero = 0;
    int started = 0;
    for (int i = 0; i < pairs; ++i) {
        const int32_t speaker = 200 + 2 * i;
        const int32_t listener = speaker + 1;
        calls.init(speaker, "");
        calls.init(listener, "");
        if (speech) {
            const VocanaWaveFiles speakerFiles{mic.constData(), nullptr};
            const VocanaWaveFiles listenerFiles{nullptr, heard[std::size_t(i)].constData()};
            calls.setFiles(speaker, &speakerFiles);
            calls.setFiles(listener, &listenerFiles);
        }
        const qint32 port = freePort();
        const VocanaAddressRecord listen{0, 0, 0x7F000001, port};
        const VocanaAddressRecord speak{1, Vocana::LevelMessage, 0x7F000001, port};
        if (calls.startListen(listener, &listen) == Vocana::Ok
            && calls.startSpeak(speaker, &speak) == Vocana::Ok)
            ++started;
    }
    if (started == pairs) {
        runFor(500); // devices and buffers settle
        load.percent = sharedOver(seconds * 1000);
        load.perPairPercent = load.percent / pairs;
        load.ok = true;
    } else {
        load.why = u"%1 of %2 pairs started"_s.arg(started).arg(pairs);
    }
    for (int i = 0; i < pairs; ++i) {
        const int32_t speaker = 200 + 2 * i;
        calls.stopSpeak(speaker, "");
        calls.stopListen(speaker + 1, &zero);
        calls.release(speaker, &zero);
        calls.release(speaker + 1, &zero);
    }
    return load;
}

ProcessLoad MeasureQuietListeners(const EngineCalls &calls, int listeners, int seconds)
{
    ProcessLoad load;
    load.idlePercent = sharedOver(seconds * 1000);
    const int32_t zero = 0;
    const VocanaWaveFiles devices{nullptr, nullptr};
    int started = 0;
    for (int i = 0; i < listeners; ++i) {
        calls.init(300 + i, "");
        calls.setFiles(300 + i, &devices);
        const VocanaAddressRecord listen{0, 0, 0x7F000001, qint32(freePort())};
        if (calls.startListen(300 + i, &listen) == Vocana::Ok)
            ++started;
    }
    if (started == listeners) {
        runFor(3000); // past the quiet stretch after which playback rests
        load.percent = sharedOver(seconds * 1000);
        load.perPairPercent = load.percent / listeners;
        load.ok = true;
    } else {
        load.why = u"%1 of %2 listeners started"_s.arg(started).arg(listeners);
    }
    for (int i = 0; i < listeners; ++i) {
        calls.stopListen(300 + i, &zero);
        calls.release(300 + i, &zero);
    }
    return load;
}

ProcessLoad MeasureBareWakeUps(int pairs, int seconds)
{
    ProcessLoad load;
    load.idlePercent = sharedOver(seconds * 1000);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    std::vector<int> descriptors;
    for (int i = 0; i < pairs; ++i) {
        const int receiver = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
        descriptors.insert(descriptors.end(), {receiver, sender});
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(receiver, reinterpret_cast<sockaddr *>(&address), length) != 0
            || ::getsockname(receiver, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            load.why = u"no loopback socket"_s;
            break;
        }
        // The capture side: a wake-up every 10 ms, a datagram every other.
        threads.emplace_back([&stop, sender, address] {
            char packet[80] = {};
            for (int tick = 0; !stop.load(); ++tick) {
                ::poll(nullptr, 0, 10);
                if (tick % 2 == 0)
                    ::sendto(sender, packet, sizeof packet, 0,
                        reinterpret_cast<const sockaddr *>(&address), sizeof address);
            }
        });
        // The listening side: woken by each datagram.
        threads.emplace_back([&stop, receiver] {
            char packet[1500];
            while (!stop.load()) {
                pollfd in{receiver, POLLIN, 0};
                if (::poll(&in, 1, 100) > 0)
                    ::recv(receiver, packet, sizeof packet, 0);
            }
        });
        // The playback side: a wake-up every 10 ms.
        threads.emplace_back([&stop] {
            while (!stop.load())
                ::poll(nullptr, 0, 10);
        });
    }
    if (load.why.isEmpty()) {
        runFor(500);
        load.percent = sharedOver(seconds * 1000);
        load.perPairPercent = load.percent / pairs;
        load.ok = true;
    }
    stop = true;
    for (std::thread &thread : threads)
        thread.join();
    for (const int descriptor : descriptors)
        ::close(descriptor);
    return load;
}
