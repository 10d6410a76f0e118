#pragma once

#include "client/campus/coursewaredownloader.h"

#include "client/campus/coursecatalogue.h"

#include <QObject>

class FrmTip;
class SessionState;

namespace Global {
class Prompter;
}

// "下载课件": fetches the current course's courseware file again, after a
// question, with the bytes received shown in a progress window whose
// cancel ends the fetch. A failed or cancelled fetch leaves the old file
// and says so.
class CoursewareRedownload : public QObject
{
    Q_OBJECT

public:
    struct Dependencies {
        SessionState &session;
        CourseCatalogue catalogue;
        Global::Prompter &prompter;
        FrmTip &progressWindow;
    };

    explicit CoursewareRedownload(Dependencies deps, QObject *parent = nullptr);

    CoursewareDownloader &downloader() { return m_downloader; }

public Q_SLOTS:
    void cmdDownload_Click();

Q_SIGNALS:
    // The fetch ended (after its message, if any, was shown).
    void finished(CoursewareDownloader::Outcome outcome);

private:
    void start();
    void onFinished(
        CoursewareDownloader::Outcome outcome, const QString &fileName, const QString &error);

    Dependencies m_deps;
    CoursewareDownloader m_downloader;
    QString m_url;
};
