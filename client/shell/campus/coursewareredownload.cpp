#include "client/shell/campus/coursewareredownload.h"

#include "client/session/sessionstate.h"
#include "client/shell/campus/coursecatalogue.h"
#include "client/shell/campus/frmtip.h"
#include "common/errorlog.h"
#include "common/prompter.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace {
const QString Title = u"Lumo Class 系统提示："_s;
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
    m_deps.prompter.show({Title, u"你确定要重新下载本课程的课件吗？"_s,
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
        m_deps.prompter.inform(Title, u"请先选择一个课程"_s);
        return;
    }
    m_url = CourseCatalogue::CoursewareUrl(
        session.Categories.at(index), session.CurrentCoursewareFile);
    FrmTip &window = m_deps.progressWindow;
    window.setWindowTitle(u"正在下载课件"_s);
    window.SetDisplayString(u"正在下载课件"_s);
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
        const QString text = outcome == Outcome::Refused
            ? u"课件文件名无效（%1），没有下载"_s.arg(fileName)
            : outcome == Outcome::Cancelled
            ? u"课件下载已取消，原有的课件没有改变"_s
            : u"课件下载失败（%1），原有的课件没有改变"_s.arg(error);
        m_deps.prompter.inform(Title, text, Global::PromptIcon::Warning);
    }
    Q_EMIT finished(outcome);
}
