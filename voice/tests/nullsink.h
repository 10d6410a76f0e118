#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// A null sink of the sound server's while this lives: a loudspeaker nobody
// hears, whose monitor is a microphone only the test speaks into. Loaded and
// unloaded through pactl, so it needs the server the programs use.
class NullSink
{
public:
    explicit NullSink(const QString &name)
        : m_name(name)
    {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"),
            {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                QStringLiteral("sink_name=") + name});
        if (pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit
            && pactl.exitCode() == 0)
            m_module = pactl.readAllStandardOutput().trimmed();
    }
    ~NullSink()
    {
        if (!m_module.isEmpty())
            QProcess::execute(QStringLiteral("pactl"),
                {QStringLiteral("unload-module"), QString::fromLatin1(m_module)});
    }
    NullSink(const NullSink &) = delete;
    NullSink &operator=(const NullSink &) = delete;

    bool loaded() const { return !m_module.isEmpty(); }
    QString sink() const { return m_name; }
    QString monitor() const { return m_name + QStringLiteral(".monitor"); }

private:
    QString m_name;
    QByteArray m_module;
};
