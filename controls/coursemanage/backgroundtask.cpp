#include "controls/coursemanage/backgroundtask.h"

#include <QThread>

BackgroundTask::BackgroundTask(QObject *parent)
    : QObject(parent)
{ }

BackgroundTask::~BackgroundTask()
{
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
    }
}

void BackgroundTask::start(std::function<void(BackgroundTask &)> work)
{
    Q_ASSERT(!m_thread);
    m_cancel = false;
    m_lastPercent = -1;
    m_thread.reset(QThread::create([this, work = std::move(work)] { work(*this); }));
    // Emitted on the worker thread; the context object makes it a queued
    // call on ours.
    connect(m_thread.get(), &QThread::finished, this, &BackgroundTask::collect);
    m_thread->start();
}

void BackgroundTask::reportProgress(int percent)
{
    if (m_lastPercent.exchange(percent) == percent)
        return;
    QMetaObject::invokeMethod(
        this, [this, percent] { Q_EMIT progressed(percent); }, Qt::QueuedConnection);
}

void BackgroundTask::collect()
{
    m_thread->wait();
    m_thread.reset();
    Q_EMIT finished();
}
