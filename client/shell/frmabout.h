#pragma once

#include <QDialog>

#include <functional>

class QPlainTextEdit;

// "关于": the product title and version; "系统信息" shows what the program
// knows of the system it runs on (there is no separate system-information
// program to start here).
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    // Program, Qt, operating system, sound server and audio devices, one
    // "name: value" line each.
    static QString SystemInformation();

    // Where the voice's device delay comes from: the running engine's own
    // figures (capture, playback in ms), false when it has none.
    using DeviceDelaySource = std::function<bool(qint32 *, qint32 *)>;
    void setDeviceDelaySource(DeviceDelaySource source) { m_deviceDelay = std::move(source); }

    QPlainTextEdit *systemInfoView() const { return m_info; }

private:
    void showSystemInformation();

    QPlainTextEdit *m_info = nullptr;
    DeviceDelaySource m_deviceDelay;
};
