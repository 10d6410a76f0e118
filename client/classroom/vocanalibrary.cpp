#include "client/classroom/vocanalibrary.h"

#include "common/apppaths.h"
#include "common/errorlog.h"
#include "common/settingsstore.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Classroom {

VocanaLibrary::VocanaLibrary(QObject *parent)
    : VoiceEngineApi(parent)
{ }

VocanaLibrary::~VocanaLibrary() = default;

QString VocanaLibrary::loadedFrom() const
{
    return m_state == State::Loaded ? m_library.fileName() : QString();
}

bool VocanaLibrary::ensureLoaded()
{
    if (m_state != State::NotTried)
        return m_state == State::Loaded;
    m_state = State::Failed;

    const QString name = QString::fromLatin1(Vocana::LibraryName);
    QStringList candidates;
    if (const QString chosen = qEnvironmentVariable("LUMO_VOICE_ENGINE"); !chosen.isEmpty())
        candidates << chosen;
    else
        candidates << Global::WithTrailingSeparator(Global::ApplicationFolder()) + name << name;
    QStringList failures;
    for (const QString &candidate : std::as_const(candidates)) {
        m_library.setFileName(candidate);
        if (m_library.load())
            break;
        failures << m_library.errorString();
    }
    if (!m_library.isLoaded()) {
        Global::WriteErrorLog(
            u"frmVizeRazav"_s, u"LoadVoiceEngine"_s, failures.join(u"; "_s), __LINE__);
        return false;
    }

    m_initDll = reinterpret_cast<VocanaTextCall>(m_library.resolve("InitDLL"));
    m_startSpeak = reinterpret_cast<VocanaRecordCall>(m_library.resolve("StartSpeak"));
    m_stopSpeak = reinterpret_cast<VocanaTextCall>(m_library.resolve("StopSpeak"));
    m_startListen = reinterpret_cast<VocanaRecordCall>(m_library.resolve("StartListen"));
    m_stopListen = reinterpret_cast<VocanaNumberCall>(m_library.resolve("StopListen"));
    m_releaseDll = reinterpret_cast<VocanaNumberCall>(m_library.resolve("ReleaseDLL"));
    if (!m_initDll || !m_startSpeak || !m_stopSpeak || !m_startListen || !m_stopListen
        || !m_releaseDll) {
        Global::WriteErrorLog(u"frmVizeRazav"_s, u"LoadVoiceEngine"_s,
            m_library.fileName() + u" lacks one of the six voice calls"_s, __LINE__);
        return false;
    }

    m_deviceDelay = reinterpret_cast<VocanaDeviceDelayCall>(m_library.resolve("GetDeviceDelay"));
    // The microphone clean-up switches are optional too.
    m_setEcho = reinterpret_cast<VocanaNumberCall>(m_library.resolve("SetEchoCancellation"));
    m_setNoise = reinterpret_cast<VocanaNumberCall>(m_library.resolve("SetNoiseSuppression"));
    m_setGain = reinterpret_cast<VocanaNumberCall>(m_library.resolve("SetGainControl"));
    // The level reports are optional: an engine without them still speaks.
    const auto notifierCall
        = reinterpret_cast<VocanaNotifierCall>(m_library.resolve("VocanaNotifier"));
    if (QObject *notifier = notifierCall ? notifierCall() : nullptr) {
        // String-based: the engine's class is not linked into the program,
        // so only its run-time meta-object knows the signal.
        connect(notifier, SIGNAL(WindowMessage(int, int, int, int)), this,
            SIGNAL(WindowMessage(int, int, int, int)));
    }
    m_state = State::Loaded;
    return true;
}

bool VocanaLibrary::VoiceSwitch(const QString &key)
{
    return Global::GetSetting(Global::StudentAppName, u"Options"_s, key, u"1"_s) != u"0"_s;
}

qint32 VocanaLibrary::InitDLL()
{
    if (!ensureLoaded())
        return Vocana::EngineMissing;
    const qint32 result = m_initDll(Vocana::ClientInstance, "");
    applySwitches();
    return result;
}

void VocanaLibrary::applySwitches()
{
    for (const auto &[set, key] :
        {std::pair{m_setEcho, u"EchoCancellation"_s}, std::pair{m_setNoise, u"NoiseSuppression"_s},
            std::pair{m_setGain, u"GainControl"_s}}) {
        if (set) {
            const int32_t on = VoiceSwitch(key) ? 1 : 0;
            set(Vocana::ClientInstance, &on);
        }
    }
}

bool VocanaLibrary::DeviceDelay(qint32 *captureMs, qint32 *playbackMs)
{
    // Asked of a loaded engine only: the about box must not load one.
    if (m_state != State::Loaded || !m_deviceDelay)
        return false;
    VocanaDeviceDelay delay{-1, -1};
    if (m_deviceDelay(Vocana::ClientInstance, &delay) != Vocana::Ok)
        return false;
    *captureMs = delay.captureMs;
    *playbackMs = delay.playbackMs;
    return delay.captureMs >= 0 || delay.playbackMs >= 0;
}

qint32 VocanaLibrary::StartSpeak(const VocanaAddressRecord &record)
{
    if (!ensureLoaded())
        return Vocana::EngineMissing;
    // A switch changed in the options holds from the next time the student speaks.
    applySwitches();
    return m_startSpeak(Vocana::ClientInstance, &record);
}

qint32 VocanaLibrary::StopSpeak()
{
    return ensureLoaded() ? m_stopSpeak(Vocana::ClientInstance, "") : Vocana::EngineMissing;
}

qint32 VocanaLibrary::StartListen(const VocanaAddressRecord &record)
{
    return ensureLoaded() ? m_startListen(Vocana::ClientInstance, &record) : Vocana::EngineMissing;
}

qint32 VocanaLibrary::StopListen()
{
    const int32_t zero = 0;
    return ensureLoaded() ? m_stopListen(Vocana::ClientInstance, &zero) : Vocana::EngineMissing;
}

qint32 VocanaLibrary::ReleaseDLL()
{
    const int32_t zero = 0;
    return ensureLoaded() ? m_releaseDll(Vocana::ClientInstance, &zero) : Vocana::EngineMissing;
}

} // namespace Classroom
