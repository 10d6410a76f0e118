#pragma once

#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QThread>

// Keeps every window message the engine's notifier sends, and whether it
// came on the main thread.
class LevelRecorder : public QObject
{
    Q_OBJECT
public:
    struct Message {
        int hWnd;
        int message;
        int lParam;
        bool onMainThread;
    };
    QList<Message> messages;

public Q_SLOTS:
    void record(int hWnd, int message, int /*wParam*/, int lParam)
    {
        messages.append({hWnd, message, lParam,
            QThread::currentThread() == QCoreApplication::instance()->thread()});
    }
};
