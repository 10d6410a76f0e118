#pragma once

#include <QEvent>
#include <QFile>
#include <QWidget>

#include <cstdio>

// Reports, once `window` has painted for the first time, the resident
// memory and whether the browser engine, the media framework, the sound
// server's client library and any image-format plugin are loaded, then
// ends the program.
class FirstPaintProbe : public QObject
{
public:
    explicit FirstPaintProbe(QWidget *window)
        : QObject(window)
    {
        window->installEventFilter(this);
    }

    static long residentKb()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
        return -1;
    }

    static bool loaded(const char *library)
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // After this paint has finished.
            QMetaObject::invokeMethod(
                this,
                [] {
                    std::printf("shown rss_kb=%ld webengine=%d multimedia=%d pulse=%d "
                                "imageplugins=%d\n",
                        residentKb(), loaded("WebEngineCore") ? 1 : 0,
                        loaded("libQt6Multimedia") ? 1 : 0, loaded("libpulse") ? 1 : 0,
                        loaded("/imageformats/") ? 1 : 0);
                    std::fflush(stdout);
                    std::_Exit(0);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_done = false;
};
