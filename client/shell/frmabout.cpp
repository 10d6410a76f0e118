#include "client/shell/frmabout.h"

#include "common/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibrary>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {

QString SoundServer()
{
    if (const QString server = qEnvironmentVariable("PULSE_SERVER"); !server.isEmpty())
        return QStringLiteral("PulseAudio (%1)").arg(server);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/pulse/native")))
        return QStringLiteral("PulseAudio (%1/pulse/native)").arg(runtime);
    return QCoreApplication::translate("frmAbout", "未找到");
}

QString DeviceList(QStringList names, int preferred)
{
    if (names.isEmpty())
        return QCoreApplication::translate("frmAbout", "无");
    if (preferred >= 0 && preferred < names.size())
        names[preferred] += QCoreApplication::translate("frmAbout", " (默认)");
    return names.join(QStringLiteral("; "));
}

// The speakers and the microphones, each with the default one marked; false
// when the library that asks the media framework cannot be loaded.
bool SoundDevices(QString *speakers, QString *microphones)
{
    using Describe = void (*)(QStringList *, int *, QStringList *, int *);
    const QString name = QStringLiteral("LumoMediaDevices");
    for (const QString &candidate :
        {Global::WithTrailingSeparator(Global::ApplicationFolder()) + name, name}) {
        // Stays loaded for the rest of the run.
        QLibrary library(candidate);
        if (const auto describe
            = reinterpret_cast<Describe>(library.resolve("lumo_audio_devices"))) {
            QStringList outputs;
            QStringList inputs;
            int output = -1;
            int input = -1;
            describe(&outputs, &output, &inputs, &input);
            *speakers = DeviceList(outputs, output);
            *microphones = DeviceList(inputs, input);
            return true;
        }
    }
    return false;
}

} // namespace

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("关于") + QStringLiteral(" LumoStudent 1.3.2"));
    auto *title = new QLabel(QStringLiteral("<b>LumoStudent</b> 1.3.2"), this);
    auto *text = new QLabel(tr("在线语音课堂 学生端"), this);
    m_info = new QPlainTextEdit(this);
    m_info->setObjectName(QStringLiteral("txtSystemInfo"));
    m_info->setReadOnly(true);
    m_info->hide();
    auto *ok = new QPushButton(tr("确  定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto *sysInfo = new QPushButton(tr("系统信息"), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addWidget(m_info, 1);
    layout->addLayout(buttons);
    resize(420, 160);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(sysInfo, &QPushButton::clicked, this, &frmAbout::showSystemInformation);
}

QString frmAbout::SystemInformation()
{
    QStringList lines;
    lines << tr("程序: %1 %2 (%3)")
                 .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
                     QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    lines << tr("Qt: %1 (编译时 %2)")
                 .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));
    lines << tr("操作系统: %1, 内核 %2 %3")
                 .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(),
                     QSysInfo::kernelVersion());
    lines << tr("处理器: %1").arg(QSysInfo::currentCpuArchitecture());
    lines << tr("声音服务: %1").arg(SoundServer());
    QString speakers;
    QString microphones;
    if (!SoundDevices(&speakers, &microphones))
        speakers = microphones = QCoreApplication::translate("frmAbout", "未找到");
    lines << tr("扬声器: %1").arg(speakers);
    lines << tr("麦克风: %1").arg(microphones);
    lines << tr("数据文件夹: %1").arg(QDir::toNativeSeparators(Global::DataFolder()));
    return lines.join(u'\n');
}

void frmAbout::showSystemInformation()
{
    QString text = SystemInformation();
    qint32 captureMs = -1;
    qint32 playbackMs = -1;
    const auto ms = [](qint32 value) { return value < 0 ? tr("无") : tr("%1 毫秒").arg(value); };
    text += u'\n'
        + (m_deviceDelay && m_deviceDelay(&captureMs, &playbackMs)
                ? tr("语音设备延迟: 话筒 %1, 扬声器 %2").arg(ms(captureMs), ms(playbackMs))
                : tr("语音设备延迟: 语音未在声音服务上运行"));
    m_info->setPlainText(text);
    m_info->show();
    resize(width(), 360);
}
