#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Runs one piece of long work (reading or writing a courseware file) on a
// thread of its own so the window keeps answering. Progress and the end are
// delivered to the owner's thread as signals. Whatever the work fills in is
// safe to read once finished() has arrived.
class BackgroundTask : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundTask(QObject *parent = nullptr);
    // Asks the work to stop and waits for it: the work may still be using
    // what its owner is about to destroy.
    ~BackgroundTask() override;

    bool isRunning() const { return m_thread != nullptr; }
    void start(std::function<void(BackgroundTask &)> work);
    // Asks the running work to stop early; finished() still arrives.
    void cancel() { m_cancel = true; }

    // From the worker thread; repeated values are dropped.
    void reportProgress(int percent);
    const std::atomic_bool *cancelFlag() const { return &m_cancel; }

Q_SIGNALS:
    void progressed(int percent);
    void finished();

private:
    void collect();

    std::unique_ptr<QThread> m_thread;
    std::atomic_bool m_cancel{false};
    std::atomic_int m_lastPercent{-1};
};
