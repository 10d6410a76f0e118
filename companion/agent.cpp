#include "companion/agent.h"

#include "common/errorlog.h"

#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

QString Agent::coursewareFileName(const QString &url)
{
    // "http://" host "/CampusDir/campus<N>/" name: exactly four path segments,
    // the last a plain name. Anything else ("..", more folders) yields a
    // name that the downloader refuses.
    const QStringList segments = QUrl(url).path(QUrl::FullyDecoded).split(u'/');
    if (segments.size() != 4 || !segments.at(0).isEmpty() || segments.at(1) != u"CampusDir"_s)
        return {};
    return segments.at(3);
}

Agent::Agent(const QString &appName, QObject *parent)
    : QObject(parent)
    , m_catalogue(appName)
{
    connect(&m_timer, &QTimer::timeout, this, &Agent::pass);
    connect(&m_downloader, &CoursewareDownloader::finished, this,
        [this](
            CoursewareDownloader::Outcome outcome, const QString &fileName, const QString &error) {
            const bool ok = outcome == CoursewareDownloader::Outcome::Done;
            if (ok)
                m_catalogue.MarkDownloaded(m_current);
            else
                Global::WriteErrorLog(u"castagent"_s, u"Download"_s,
                    u"%1 (%2): %3"_s.arg(m_current, fileName, error), 0);
            Q_EMIT fetched(m_current, ok);
            // Next file from the event loop: the downloader is still inside
            // its own report.
            QMetaObject::invokeMethod(this, &Agent::next, Qt::QueuedConnection);
        });
}

void Agent::start(int intervalMs)
{
    m_timer.start(intervalMs);
    pass();
}

void Agent::pass()
{
    if (m_running)
        return;
    m_running = true;
    m_queue.clear();
    const QString folder = m_catalogue.coursewareFolder();
    for (const CourseCatalogue::Entry &entry : m_catalogue.entries()) {
        const QString fileName = coursewareFileName(entry.url);
        const bool present = IsPlainFileName(fileName) && QFileInfo(folder + fileName).isFile();
        if (present) {
            if (CourseCatalogue::pairValue(entry.value, u"over"_s) != u"1"_s)
                m_catalogue.MarkDownloaded(entry.url);
            continue;
        }
        m_queue.append(entry.url);
    }
    next();
}

void Agent::next()
{
    while (!m_queue.isEmpty()) {
        m_current = m_queue.takeFirst();
        const QUrl url(m_current);
        const QString fileName = coursewareFileName(m_current);
        // A refused name reports at once (and queues next()); a started
        // fetch reports when it ends.
        m_downloader.start(url, m_catalogue.coursewareFolder(), fileName);
        return;
    }
    m_running = false;
    Q_EMIT passDone();
}
