#pragma once

#include "client/campus/coursecatalogue.h"
#include "client/campus/coursewaredownloader.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

// The companion's one job: every listed courseware file that is not yet in
// the courseware folder is fetched, one at a time, and its entry gets
// "over=1". The list is read again at every pass, so entries the client adds
// while both run are fetched at the next pass.
class Agent : public QObject
{
    Q_OBJECT

public:
    explicit Agent(const QString &appName, QObject *parent = nullptr);

    // Passes run every `intervalMs` (and at once).
    void start(int intervalMs);
    // One pass now (none while one runs); it runs until nothing is left
    // to fetch.
    void pass();
    bool passRunning() const { return m_running; }

    // The file name a "List" URL names, as written in the URL; empty when
    // it is not a courseware URL of the usual form.
    static QString coursewareFileName(const QString &url);

private:
    void next();

    CourseCatalogue m_catalogue;
    CoursewareDownloader m_downloader;
    QTimer m_timer;
    QStringList m_queue;
    QString m_current;
    QSet<QString> m_refused; // URLs whose refused name was logged
    bool m_running = false;
};
