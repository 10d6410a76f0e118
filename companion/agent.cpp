#include "companion/agent.h"

#include "common/errorlog.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

QString Agent::coursewareFileName(const QString &url)
{
    // "http://" host "/CampusDir/campus<N>/" name, read as the client wrote
    // it: the client looks for the file under the name in its list, escapes
    // and all, so decoding here would fetch a file the client never finds.
    // Whatever follows "campus<N>/" is the name; one holding a "/" (more
    // folders, "..") or decoding to a step out is refused by the downloader.
    static const QRegularExpression form(u"^http://[^/]+/CampusDir/campus[0-9]+/(.*)$"_s,
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = form.match(url);
    return match.hasMatch() ? match.captured(1) : QString();
}

Agent::Agent(const QString &appName, QObject *parent)
    : QObject(parent)
    , m_catalogue(appName)
{
    connect(&m_timer, &QTimer::timeout, this, &Agent::pass);
    connect(&m_downloader, &CoursewareDownloader::finished, this,
        [this](
            CoursewareDownloader::Outcome outcome, const QString &fileName, const QString &error) {
            using Outcome = CoursewareDownloader::Outcome;
            if (outcome == Outcome::Done) {
                m_catalogue.MarkDownloaded(m_current);
            } else if (outcome == Outcome::Refused) {
                // Listed until the client drops it: said once a run, not at
                // every pass.
                if (!m_refused.contains(m_current))
                    Global::WriteErrorLog(u"castagent"_s, u"Download"_s,
                        u"%1: %2; not fetched"_s.arg(m_current, error), 0);
                m_refused.insert(m_current);
            } else {
                const QString kept = outcome == Outcome::NotCourseware
                    ? u"; the file in the courseware folder is kept"_s
                    : QString();
                Global::WriteErrorLog(u"castagent"_s, u"Download"_s,
                    u"%1 (%2): %3%4"_s.arg(m_current, fileName, error, kept), 0);
            }
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
}
