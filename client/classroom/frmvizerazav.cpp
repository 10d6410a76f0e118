#include "client/classroom/frmvizerazav.h"

#include "client/classroom/vocanalibrary.h"
#include "client/classroom/voiceaddress.h"
#include "common/desktop/fallbacks.h"
#include "common/prompter.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>

using namespace Qt::StringLiterals;

namespace Classroom {

namespace {

// Title of the voice window's message boxes.
QString boxTitle()
{
    return QCoreApplication::translate("Classroom::frmVizeRazav", "LumoClass 系统提示：");
}

// Captions of the two buttons; the caption tells the state.
QString startListenCaption()
{
    return QCoreApplication::translate("Classroom::frmVizeRazav", "开始聆听");
}

QString stopListenCaption()
{
    return QCoreApplication::translate("Classroom::frmVizeRazav", "停止聆听");
}

QString startSpeakCaption()
{
    return QCoreApplication::translate("Classroom::frmVizeRazav", "开始发言");
}

QString stopSpeakCaption()
{
    return QCoreApplication::translate("Classroom::frmVizeRazav", "停止发言");
}

// Level messages the level bar follows.
constexpr int LevelMessages[] = {501, Vocana::LevelMessage};

int nextLevelTarget()
{
    static std::atomic<int> next{1};
    return next++;
}

// The rule gives a 32-bit number for any field; a port must also be one.
bool validPort(qint32 port)
{
    return port > 0 && port <= 0xffff;
}

} // namespace

frmVizeRazav::frmVizeRazav(QWidget *parent)
    : frmVizeRazav(std::make_unique<VocanaLibrary>(), parent)
{ }

frmVizeRazav::frmVizeRazav(std::unique_ptr<VoiceEngineApi> engine, QWidget *parent)
    : QWidget(parent)
    , m_engine(std::move(engine))
    , m_prompts(std::make_unique<Global::PrompterSlot>(this))
    , m_levelTarget(nextLevelTarget())
{
    buildUi();
    connect(m_engine.get(), &VoiceEngineApi::WindowMessage, this, &frmVizeRazav::onEngineMessage);

    m_engine->InitDLL();
    SpeakStart();
    SpeakStop();
}

bool frmVizeRazav::DeviceDelay(qint32 *captureMs, qint32 *playbackMs) const
{
    return m_engine->DeviceDelay(captureMs, playbackMs);
}

frmVizeRazav::~frmVizeRazav()
{
    HookLevelMeter(false);
    m_engine->StopListen();
    m_engine->StopSpeak();
    m_engine->ReleaseDLL();
}

void frmVizeRazav::buildUi()
{
    setWindowTitle(u"frmVizeRazav"_s);
    m_txtListenIP = new QLineEdit(u"127.0.0.1"_s, this);
    m_txtListenPort = new QLineEdit(u"8639"_s, this);
    m_txtSpeakIP = new QLineEdit(u"127.0.0.1"_s, this);
    m_txtSpeakPort = new QLineEdit(u"8640"_s, this);
    m_btnListen = new QPushButton(startListenCaption(), this);
    m_btnSpeak = new QPushButton(startSpeakCaption(), this);
    m_listLog = new QListWidget(this);

    auto *fields = new QFormLayout;
    fields->addRow(u"Listen IP"_s, m_txtListenIP);
    fields->addRow(u"Listen port"_s, m_txtListenPort);
    fields->addRow(u"Speak IP"_s, m_txtSpeakIP);
    fields->addRow(u"Speak port"_s, m_txtSpeakPort);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_btnListen);
    buttons->addWidget(m_btnSpeak);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(m_listLog);

    connect(m_btnListen, &QPushButton::clicked, this, [this] {
        if (m_btnListen->text() == startListenCaption())
            ListenStart();
        else
            ListenStop();
    });
    connect(m_btnSpeak, &QPushButton::clicked, this, [this] {
        if (m_btnSpeak->text() == startSpeakCaption())
            SpeakStart();
        else
            SpeakStop();
    });
}

void frmVizeRazav::setPrompter(Global::Prompter *prompter)
{
    m_prompts->set(prompter);
}

Global::Prompter *frmVizeRazav::prompter()
{
    return &m_prompts->get();
}

void frmVizeRazav::setSoundBar(QProgressBar *soundBar)
{
    m_soundBar = soundBar;
}

void frmVizeRazav::setSoundBarValue(int value)
{
    if (m_soundBar)
        m_soundBar->setValue(value);
}

void frmVizeRazav::HookLevelMeter(bool on)
{
    m_levelHooked = on;
}

void frmVizeRazav::onEngineMessage(int hWnd, int message, int /*wParam*/, int lParam)
{
    if (!m_levelHooked || hWnd != m_levelTarget)
        return;
    if (std::find(std::begin(LevelMessages), std::end(LevelMessages), message)
        == std::end(LevelMessages))
        return;
    // A report queued before speaking stopped may still arrive; the hook
    // flag above drops it. Out-of-range levels are held to the bar's scale.
    const int level = std::clamp(lParam, 0, Vocana::MaxLevel);
    setSoundBarValue(level * 100 / Vocana::MaxLevel);
}

void frmVizeRazav::addLogLine(const QString &call, qint32 result)
{
    m_listLog->addItem(u"Call "_s + call + u", return value ="_s + QString::number(result));
}

void frmVizeRazav::SpeakStart()
{
    const qint32 ip = AddressToNumber(m_txtSpeakIP->text());
    const qint32 port = AddressToNumber(m_txtSpeakPort->text());
    if (ip == 0 || !validPort(port)) {
        prompter()->inform(boxTitle(), tr("错误的语音发送地址！"), Global::PromptIcon::Information);
        return;
    }
    if (m_bStartSpeak)
        return;
    m_btnSpeak->setText(stopSpeakCaption());
    m_txtSpeakIP->setEnabled(false);
    m_txtSpeakPort->setEnabled(false);

    setSoundBarValue(0);
    const qint32 result
        = m_engine->StartSpeak(VocanaAddressRecord{m_levelTarget, Vocana::LevelMessage, ip, port});
    addLogLine(u"StartSpeak"_s, result);
    // A failed start is only logged: the floor logic above relies on the
    // flag following the calls, not the engine.
    m_bStartSpeak = true;
    setSoundBarValue(0);
    HookLevelMeter(true);
}

void frmVizeRazav::SpeakStop()
{
    if (!m_bStartSpeak)
        return;
    m_btnSpeak->setText(startSpeakCaption());
    m_txtSpeakIP->setEnabled(true);
    m_txtSpeakPort->setEnabled(true);
    setSoundBarValue(0);
    addLogLine(u"StopSpeak"_s, m_engine->StopSpeak());
    m_bStartSpeak = false;
    // Unhooked before the last reset, so no queued report can move the bar
    // after it.
    HookLevelMeter(false);
    setSoundBarValue(0);
}

void frmVizeRazav::ListenStart()
{
    const qint32 ip = AddressToNumber(m_txtListenIP->text());
    const qint32 port = AddressToNumber(m_txtListenPort->text());
    if (ip == 0 || !validPort(port)) {
        prompter()->inform(boxTitle(), tr("错误的语音接收地址！"), Global::PromptIcon::Information);
        return;
    }
    m_btnListen->setText(stopListenCaption());
    m_txtListenIP->setEnabled(false);
    m_txtListenPort->setEnabled(false);
    // Callers stop before they start; the engine restarts cleanly if one
    // does not.
    addLogLine(u"StartListen"_s, m_engine->StartListen(VocanaAddressRecord{0, 0, ip, port}));
    m_bStartListen = true;
}

void frmVizeRazav::ListenStop()
{
    m_btnListen->setText(startListenCaption());
    m_txtListenIP->setEnabled(true);
    m_txtListenPort->setEnabled(true);
    addLogLine(u"StopListen"_s, m_engine->StopListen());
    m_bStartListen = false;
}

} // namespace Classroom
