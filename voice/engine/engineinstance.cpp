#include "voice/engine/engineinstance.h"

#include "common/errorlog.h"
#include "voice/engine/echoreference.h"
#include "voice/engine/enginenotifier.h"
#include "voice/engine/listenchannel.h"
#include "voice/engine/speakchannel.h"
#include "voice/pulse/pulsewatcher.h"

#include <QHostAddress>

namespace Vocana {

namespace {

bool validTarget(const VocanaAddressRecord &record)
{
    return record.address != 0 && record.port > 0 && record.port <= 0xffff;
}

} // namespace

EngineInstance::EngineInstance(EngineNotifier *notifier)
    : m_notifier(notifier)
    , m_context(new QObject)
    , m_echo(std::make_shared<EchoReference>())
    , m_loss(std::make_shared<std::atomic<int>>(-1))
{
    m_thread.setObjectName(QStringLiteral("Vocana"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start(QThread::TimeCriticalPriority);
}

EngineInstance::~EngineInstance()
{
    m_watcher.reset(); // posts to the notifier until it is joined
    // Channels own sockets and timers of the worker: they die there.
    onWorker([this] {
        m_speak.reset();
        m_listen.reset();
    });
    m_thread.quit();
    m_thread.wait();
}

template <typename F> void EngineInstance::onWorker(F &&work)
{
    QMetaObject::invokeMethod(m_context, std::forward<F>(work), Qt::BlockingQueuedConnection);
}

void EngineInstance::setWaveFiles(const QString &microphoneWav, const QString &playbackWav)
{
    m_microphoneWav = microphoneWav;
    m_playbackWav = playbackWav;
}

int EngineInstance::startSpeak(const VocanaAddressRecord &record)
{
    if (!validTarget(record))
        return BadArgument;
    const QHostAddress address(quint32(record.address));
    const auto port = quint16(record.port);
    const int hWnd = record.hWnd;
    const int message = record.message;
    EngineNotifier *notifier = m_notifier;
    SpeakChannel::LevelSink levelSink
        = [notifier, hWnd, message](int level) { notifier->post(hWnd, message, 0, level); };
    int result = Ok;
    onWorker([&] {
        m_speak.reset();
        m_speak = std::make_unique<SpeakChannel>(
            m_microphoneWav, m_microphone, m_switches, m_echo, levelSink);
        // Read on the capture thread: through the shared figure, never
        // through m_listen, which the worker may replace meanwhile.
        m_speak->lossFigure = [loss = m_loss] { return loss->load(std::memory_order_relaxed); };
        result = m_speak->start(address, port);
        if (result != Ok)
            m_speak.reset();
    });
    return result;
}

int EngineInstance::stopSpeak()
{
    onWorker([this] { m_speak.reset(); });
    return Ok;
}

int EngineInstance::startListen(const VocanaAddressRecord &record)
{
    if (!validTarget(record))
        return BadArgument;
    const QHostAddress address(quint32(record.address));
    const auto port = quint16(record.port);
    int result = Ok;
    onWorker([&] {
        // The old socket must be closed before the same port is bound again.
        m_listen.reset();
        m_loss->store(-1);
        m_listen = std::make_unique<ListenChannel>(m_playbackWav, m_loudspeaker, m_echo);
        m_listen->lossReport = m_loss;
        result = m_listen->start(address, port);
        if (result != Ok)
            m_listen.reset();
    });
    return result;
}

int EngineInstance::stopListen()
{
    onWorker([this] {
        m_listen.reset();
        m_loss->store(-1);
    });
    return Ok;
}

int EngineInstance::watchDevices(int hWnd, int message)
{
    m_watcher.reset();
    if (message == 0)
        return Ok;
    m_watcher = std::make_unique<Voice::PulseWatcher>();
    EngineNotifier *notifier = m_notifier;
    QString why;
    if (m_watcher->start([notifier, hWnd, message] { notifier->post(hWnd, message, 0, 0); }, &why))
        return Ok;
    m_watcher.reset();
    Global::WriteErrorLog(
        QStringLiteral("Vocana"), QStringLiteral("WatchAudioDevices"), why, __LINE__);
    return AudioUnavailable;
}

int EngineInstance::setAudioDevices(const QByteArray &microphone, const QByteArray &loudspeaker)
{
    int result = Ok;
    onWorker([&] {
        if (m_speak && microphone != m_microphone)
            result = m_speak->useDevice(microphone);
        if (m_listen && loudspeaker != m_loudspeaker) {
            const int listened = m_listen->useDevice(loudspeaker);
            if (result == Ok)
                result = listened;
        }
        m_microphone = microphone;
        m_loudspeaker = loudspeaker;
    });
    return result;
}

VocanaDeviceDelay EngineInstance::deviceDelay()
{
    VocanaDeviceDelay delay{-1, -1};
    const auto ms = [](qint64 us) { return us < 0 ? -1 : int32_t((us + 500) / 1000); };
    onWorker([&] {
        if (m_speak)
            delay.captureMs = ms(m_speak->deviceDelayUs());
        if (m_listen)
            delay.playbackMs = ms(m_listen->deviceDelayUs());
    });
    return delay;
}

} // namespace Vocana
