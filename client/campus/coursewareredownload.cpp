#include "client/campus/coursewareredownload.h"

#include "client/campus/coursecatalogue.h"
#include "client/campus/frmtip.h"
#include "client/session/sessionstate.h"
#include "common/errorlog.h"
#include "common/prompter.h"

#include <QCoreApplication>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {
// Title of the download's message boxes.
QString boxTitle()
{
    return QCoreApplication::translate("CoursewareRedownload", "Lumo Class 系统提示：");
}
} // namespace

CoursewareRedownload::CoursewareRedownload(Dependencies deps, QObject *parent)
    : QObject(parent)
    , m_deps(deps)
{
    connect(&m_downloader, &CoursewareDownloader::progress, &m_deps.progressWindow,
        &FrmTip::setProgress);
    connect(
        &m_downloader, &CoursewareDownloader::finished, this, &CoursewareRedownload::onFinished);
    connect(
        &m_deps.progressWindow, &FrmTip::cancelled, &m_downloader, &CoursewareDownloader::cancel);
}

void CoursewareRedownload::cmdDownload_Click()
{
    if (m_downloader.isBusy()) {
        m_deps.progressWindow.show();
        return;
    }
    m_deps.prompter.show({boxTitle(), tr("你确定要重新下载本课程的课件吗？"),
                             Global::PromptIcon::Question, Global::PromptButtons::OkCancel},
        [this](Global::PromptAnswer answer) {
            if (answer == Global::PromptAnswer::Ok)
                start();
            else
                Q_EMIT finished(CoursewareDownloader::Outcome::Cancelled);
        });
}

void CoursewareRedownload::start()
{
    const SessionState &session = m_deps.session;
    const int index = session.CurrentCategoryIndex;
    if (index < 0 || index >= session.Categories.size()) {
        Global::WriteErrorLog(u"Form1"_s, u"cmdDownload_Click"_s, u"no current course"_s, 0);
        m_deps.prompter.inform(boxTitle(), tr("请先选择一个课程"));
        // Whoever waits for this download (class entry) hears of its end.
        Q_EMIT finished(CoursewareDownloader::Outcome::Failed);
        return;
    }
    m_url = CourseCatalogue::CoursewareUrl(
        session.Categories.at(index), session.CurrentCoursewareFile);
    FrmTip &window = m_deps.progressWindow;
    window.setWindowTitle(tr("正在下载课件"));
    window.SetDisplayString(tr("正在下载课件"));
    window.setProgressVisible(true);
    window.show();
    m_downloader.start(
        QUrl(m_url), m_deps.catalogue.coursewareFolder(), session.CurrentCoursewareFile);
}

void CoursewareRedownload::onFinished(
    CoursewareDownloader::Outcome outcome, const QString &fileName, const QString &error)
{
    m_deps.progressWindow.hide();
    using Outcome = CoursewareDownloader::Outcome;
    if (outcome == Outcome::Done) {
        m_deps.catalogue.MarkDownloaded(m_url);
    } else {
        Global::WriteErrorLog(
            u"Form1"_s, u"cmdDownload_Click"_s, u"%1: %2"_s.arg(fileName, error), 0);
        QString text;
        switch (outcome) {
        case Outcome::Refused: text = tr("课件文件名无效（%1），没有下载").arg(fileName); break;
        case Outcome::Cancelled: text = tr("课件下载已取消，原有的课件没有改变"); break;
        case Outcome::NotCourseware:
            text = tr("下载的文件不是完整的课件，原有的课件没有改变");
            break;
        default: text = tr("课件下载失败（%1），原有的课件没有改变").arg(error); break;
        }
        m_deps.prompter.inform(boxTitle(), text, Global::PromptIcon::Warning);
    }
    Q_EMIT finished(outcome);
}
