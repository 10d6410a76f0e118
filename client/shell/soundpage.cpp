#include "client/shell/soundpage.h"

#include "common/settingsstore.h"
#include "controls/volumecontrol/sounddevices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

const QString Section = u"Options"_s;
const QString InputKey = u"InputDevice"_s;
const QString OutputKey = u"OutputDevice"_s;
// Read by the voice engine's loader as it starts the engine or speaking.
const QString EchoKey = u"EchoCancellation"_s;
const QString NoiseKey = u"NoiseSuppression"_s;
const QString GainKey = u"GainControl"_s;

QByteArray Saved(const QString &key)
{
    return Global::GetSetting(Global::StudentAppName, Section, key).toUtf8();
}

// The server's default first, then the devices; a kept device that is not
// there now stays listed, so the choice is not lost while it is unplugged.
void FillBox(QComboBox *box, const QList<SoundDevices::Device> &devices, const QByteArray &chosen,
    const QString &absentText)
{
    box->clear();
    box->addItem(QObject::tr("默认设备"), QByteArray());
    bool found = chosen.isEmpty();
    for (const SoundDevices::Device &device : devices) {
        box->addItem(device.description, device.name);
        found = found || device.name == chosen;
    }
    if (!found)
        box->addItem(absentText.arg(QString::fromUtf8(chosen)), chosen);
    box->setCurrentIndex(std::max(0, box->findData(chosen)));
}

} // namespace

SoundPage::SoundPage(SoundDevices &devices, QWidget *parent)
    : QWidget(parent)
    , m_devices(&devices)
{
    setObjectName(u"SoundPage"_s);
    m_cboInput = new QComboBox(this);
    m_cboInput->setObjectName(u"cboInput"_s);
    m_cboOutput = new QComboBox(this);
    m_cboOutput->setObjectName(u"cboOutput"_s);
    m_barLevel = new QProgressBar(this);
    m_barLevel->setObjectName(u"barLevel"_s);
    m_barLevel->setRange(0, 100);
    m_barLevel->setTextVisible(false);
    m_barLevel->setAccessibleName(tr("话筒音量"));
    m_cmdLoopback = new QPushButton(tr("试听"), this);
    m_cmdLoopback->setObjectName(u"cmdLoopback"_s);
    m_cmdLoopback->setCheckable(true);
    m_cmdLoopback->setToolTip(tr("从所选的话筒听到自己的声音，延迟和课堂上一样"));
    m_lblState = new QLabel(this);
    m_lblState->setObjectName(u"lblState"_s);
    m_lblState->setWordWrap(true);
    m_chkEcho = new QCheckBox(tr("回声消除"), this);
    m_chkEcho->setObjectName(u"chkEcho"_s);
    m_chkEcho->setToolTip(tr("用扬声器时，不让老师和同学的声音从话筒传回课堂"));
    m_chkNoise = new QCheckBox(tr("降噪"), this);
    m_chkNoise->setObjectName(u"chkNoise"_s);
    m_chkGain = new QCheckBox(tr("自动增益"), this);
    m_chkGain->setObjectName(u"chkGain"_s);

    auto *form = new QFormLayout(this);
    form->addRow(tr("话筒:"), m_cboInput);
    form->addRow(tr("扬声器:"), m_cboOutput);
    form->addRow(tr("音量:"), m_barLevel);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(m_cmdLoopback);
    testRow->addWidget(m_lblState, 1);
    form->addRow(testRow);
    auto *switches = new QHBoxLayout;
    for (QCheckBox *box : {m_chkEcho, m_chkNoise, m_chkGain})
        switches->addWidget(box);
    switches->addStretch(1);
    form->addRow(tr("话筒处理:"), switches);

    connect(&devices, &SoundDevices::changed, this, &SoundPage::fill);
    connect(&devices, &SoundDevices::level, m_barLevel, &QProgressBar::setValue);
    connect(&devices, &SoundDevices::loopbackDelay, this,
        [this](int ms) { m_lblState->setText(tr("延迟 %1 毫秒").arg(ms)); });
    connect(&devices, &SoundDevices::unavailable, this, [this] {
        m_lblState->setText(tr("没有找到声音服务器"));
        m_cmdLoopback->setChecked(false);
        for (QWidget *w : {static_cast<QWidget *>(m_cboInput), static_cast<QWidget *>(m_cboOutput),
                 static_cast<QWidget *>(m_cmdLoopback)})
            w->setEnabled(false);
    });
    connect(m_cboInput, &QComboBox::currentIndexChanged, this, &SoundPage::choose);
    connect(m_cboOutput, &QComboBox::currentIndexChanged, this, &SoundPage::choose);
    connect(m_cmdLoopback, &QPushButton::toggled, this, [this](bool on) {
        if (m_devices)
            m_devices->setLoopback(on);
        m_lblState->setText(on ? tr("请对着话筒说话…") : QString());
    });
    fill();
    loadSwitches();
}

void SoundPage::loadSwitches()
{
    const auto on = [](const QString &key) {
        return Global::GetSetting(Global::StudentAppName, Section, key, u"1"_s) != u"0"_s;
    };
    m_chkEcho->setChecked(on(EchoKey));
    m_chkNoise->setChecked(on(NoiseKey));
    m_chkGain->setChecked(on(GainKey));
}

void SoundPage::fill()
{
    m_filling = true;
    if (!m_devices)
        return;
    const QString absent = tr("%1 (不在)");
    FillBox(m_cboInput, m_devices->inputs(), m_devices->chosenInput(), absent);
    FillBox(m_cboOutput, m_devices->outputs(), m_devices->chosenOutput(), absent);
    m_filling = false;
}

void SoundPage::choose()
{
    if (m_filling || !m_devices)
        return;
    m_devices->choose(
        m_cboInput->currentData().toByteArray(), m_cboOutput->currentData().toByteArray());
}

void SoundPage::finish(bool saved)
{
    if (saved) {
        for (const auto &[box, key] : {std::pair{m_chkEcho, EchoKey},
                 std::pair{m_chkNoise, NoiseKey}, std::pair{m_chkGain, GainKey}})
            Global::SaveSetting(
                Global::StudentAppName, Section, key, box->isChecked() ? u"1"_s : u"0"_s);
    } else {
        loadSwitches();
    }
    if (!m_devices)
        return;
    if (saved) {
        Global::SaveSetting(
            Global::StudentAppName, Section, InputKey, QString::fromUtf8(m_devices->chosenInput()));
        Global::SaveSetting(Global::StudentAppName, Section, OutputKey,
            QString::fromUtf8(m_devices->chosenOutput()));
    } else {
        ApplySaved(*m_devices);
        fill();
    }
}

bool SoundPage::HasSaved()
{
    return !Saved(InputKey).isEmpty() || !Saved(OutputKey).isEmpty();
}

void SoundPage::ApplySaved(SoundDevices &devices)
{
    devices.choose(Saved(InputKey), Saved(OutputKey));
}

void SoundPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_devices)
        m_devices->setMeterUse(SoundDevices::OptionsPage, true);
}

void SoundPage::hideEvent(QHideEvent *event)
{
    // Nothing keeps listening once the page is out of sight.
    m_cmdLoopback->setChecked(false);
    if (m_devices)
        m_devices->setMeterUse(SoundDevices::OptionsPage, false);
    m_barLevel->setValue(0);
    QWidget::hideEvent(event);
}
