#include "controls/coursemanage/manageprivate.h"

#include "controls/coursemanage/aulix_coursemanage_logging.h"
#include "controls/coursemanage/progresswindow.h"

#include "common/filechooser.h"
#include "common/prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTreeWidgetItem>

#include <utility>

using namespace Qt::StringLiterals;
using namespace Courseware;
using namespace ManageText;

namespace ManageText {

// Deletes every file of the folder (sub-folders stay), creating it if
// missing. Failures go to `log`, which knows whose step this is.
void ClearTempFolder(const QString &folder, const std::function<void(const QString &, int)> &log)
{
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder)) {
        log(u"cannot create the temporary folder %1"_s.arg(folder), __LINE__);
        return;
    }
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : files) {
        if (!dir.remove(name))
            log(u"cannot delete %1"_s.arg(dir.filePath(name)), __LINE__);
    }
}

} // namespace ManageText

void ManagePrivate::requestLoad(const QString &path)
{
    if (!busy) {
        startLoad(path);
        return;
    }
    // The worker cannot be abandoned (it writes into the temporary folder
    // that the next load clears): it is stopped, and the next load starts
    // when its end arrives.
    qCDebug(lcCourseManage) << "load of" << path << "waits for the running work";
    nextLoad = path;
    opened = false;
    cancelLoad();
}

void ManagePrivate::cancelLoad()
{
    if (!loading)
        return; // a save is left to finish: stopping it would lose the user's work
    dropLoad = true;
    task->cancel();
}

// Runs what was asked for while the worker was busy.
void ManagePrivate::afterWork()
{
    if (!nextLoad)
        return;
    const QString path = *std::exchange(nextLoad, std::nullopt);
    if (busy)
        requestLoad(path); // something else started meanwhile
    else if (loading)
        startLoad(path);
    else
        q->LoadCourseFile(path); // after a save: the tree may have changed meanwhile
}

void ManagePrivate::startLoad(const QString &path)
{
    currentFile = path;
    opened = false;
    loading = true;
    dropLoad = false;
    beginBusy(Manage::tr("正在打开文件..."));
    auto result = std::make_shared<ReadResult>();
    const QString folder = tempFolder;
    const qint64 limit = expandLimit;
    QObject::connect(
        task, &BackgroundTask::finished, q, [this, path, result] { finishLoad(path, *result); },
        Qt::SingleShotConnection);
    task->start([path, folder, limit, result](BackgroundTask &self) {
        ClearTempFolder(folder, LogCoursewareError);
        ReadOptions options;
        options.expandFolder = folder;
        options.expandLimit = limit;
        options.cancel = self.cancelFlag();
        options.progress = [&self](qint64 position, qint64 total) {
            if (total > 0)
                self.reportProgress(int(position * 100 / total));
        };
        *result = ReadCoursewareFile(path, options);
    });
}

void ManagePrivate::finishLoad(const QString &path, const ReadResult &result)
{
    endBusy();
    if (dropLoad) {
        // Replaced or called off: its result must not pass for the next one.
        qCDebug(lcCourseManage) << "result of" << path << "dropped";
        dropLoad = false;
        if (nextLoad) {
            afterWork();
            return;
        }
        loading = false;
        Q_EMIT q->CourseFileLoaded(false);
        return;
    }
    loading = false;
    switch (result.status) {
    case ReadStatus::OpenFailed:
    case ReadStatus::NotCourseware:
        // The user is told to download it again, so a damaged copy must go.
        if (result.status == ReadStatus::NotCourseware && !QFile::remove(path))
            LogCoursewareError(u"cannot delete %1"_s.arg(path), __LINE__);
        prompt().inform(PromptTitle(), Manage::tr("不是合法的Lumo Class课件文件,请重新下载"),
            Global::PromptIcon::Warning);
        Q_EMIT q->CourseFileLoaded(false);
        return;
    case ReadStatus::UnsupportedVersion:
        prompt().inform(PromptTitle(),
            Manage::tr("这个程序不能读取%1.0版本的Lumo Class课件文件").arg(result.version),
            Global::PromptIcon::Warning);
        Q_EMIT q->CourseFileLoaded(false);
        return;
    case ReadStatus::Ok: break;
    }
    courseName = result.courseName;
    teacherName = result.teacherName;
    removeAll();
    nextNumber = 0;
    for (const CourseRecord &record : result.records) {
        QTreeWidgetItem *parent
            = record.parentKey.isEmpty() ? nullptr : byKey.value(record.parentKey);
        QTreeWidgetItem *item
            = addNode(parent, record.key, record.text, record.picture, record.tag);
        if (item && record.kind == NodeKind::File && !record.expanded) {
            const QScopedValueRollback<bool> guard(applyingChange, true);
            item->setForeground(0, q->palette().brush(QPalette::Disabled, QPalette::Text));
            item->setToolTip(0, Manage::tr("文件已损坏，无法播放"));
        }
    }
    nextNumber = result.nextNodeNumber;
    opened = true;
    modified = false;
    Q_EMIT q->CourseFileLoaded(true);
}

CourseNode ManagePrivate::snapshot(const QTreeWidgetItem *item) const
{
    CourseNode node;
    node.key = Manage::KeyOf(item);
    node.text = item->text(0);
    node.picture = Manage::PictureOf(item);
    node.tag = Manage::TagOf(item);
    for (int i = 0; i < item->childCount(); ++i)
        node.children.append(snapshot(item->child(i)));
    return node;
}

void ManagePrivate::SaveCourseFile(const QString &path, std::function<void(bool)> after)
{
    QTreeWidgetItem *root = byKey.value(RootKey);
    if (!root || busy) {
        if (after)
            after(false);
        return;
    }
    auto document = std::make_shared<CourseDocument>();
    document->teacherName = teacherName;
    document->root = snapshot(root);
    auto result = std::make_shared<WriteResult>();
    beginBusy(Manage::tr("正在保存文件..."));
    QObject::connect(
        task, &BackgroundTask::finished, q,
        [this, path, result, after] {
            endBusy();
            if (result->ok) {
                modified = false;
                currentFile = path;
                prompt().inform(PromptTitle(), Manage::tr("保存完毕"));
            } else {
                prompt().inform(PromptTitle(),
                    Manage::tr("保存课件文件失败，原来的文件没有改动。") + u"\r\n"_s
                        + result->error,
                    Global::PromptIcon::Warning);
            }
            if (after)
                after(result->ok);
            afterWork();
        },
        Qt::SingleShotConnection);
    const QString folder = tempFolder;
    task->start([path, folder, document, result](BackgroundTask &self) {
        WriteOptions options;
        options.tempFolder = folder;
        options.cancel = self.cancelFlag();
        options.progress = [&self](qint64 done, qint64 total) {
            if (total > 0)
                self.reportProgress(int(done * 100 / total));
        };
        *result = WriteCoursewareFile(path, *document, options);
    });
}

void Manage::LoadCourseFile(const QString &fname)
{
    if (d->busy) {
        d->requestLoad(fname);
        return;
    }
    QPointer<Manage> self(this);
    CheckSave([self, fname](bool proceed) {
        if (self && proceed)
            self->d->requestLoad(fname);
    });
}

void Manage::CheckSave(std::function<void(bool)> proceed)
{
    if (!d->modified || d->nodes.isEmpty()) {
        proceed(true);
        return;
    }
    QPointer<Manage> self(this);
    d->prompt().show(Global::Prompt{PromptTitle(), Manage::tr("课件已经修改，是否保存？"),
                         Global::PromptIcon::Question, Global::PromptButtons::YesNoCancel},
        [self, proceed](Global::PromptAnswer answer) {
            if (!self) {
                return;
            }
            if (answer == Global::PromptAnswer::No) {
                proceed(true);
            } else if (answer != Global::PromptAnswer::Yes) {
                proceed(false);
            } else if (!self->d->currentFile.isEmpty()) {
                self->d->SaveCourseFile(self->d->currentFile, proceed);
            } else {
                self->d->files().chooseSaveFile(
                    self, CourseFileFilter, QString(), [self, proceed](const QString &name) {
                        if (!self || name.isEmpty())
                            proceed(false);
                        else
                            self->d->SaveCourseFile(name, proceed);
                    });
            }
        });
}

void Manage::OpenCourse()
{
    QPointer<Manage> self(this);
    d->files().chooseOpenFile(this, CourseFileFilter, [self](const QString &path) {
        if (self && !path.isEmpty())
            self->LoadCourseFile(path);
    });
}

void Manage::SaveCourse()
{
    QPointer<Manage> self(this);
    d->files().chooseSaveFile(this, CourseFileFilter, d->currentFile, [self](const QString &path) {
        if (!self || path.isEmpty() || path == u"*.lsn"_s
            || QFileInfo(path).fileName() == u"*.lsn"_s)
            return;
        if (!QFileInfo::exists(path)) {
            self->d->SaveCourseFile(path);
            return;
        }
        // Replaced only once the new file is complete: no delete up front.
        self->d->prompt().show(Global::Prompt{PromptTitle(), Manage::tr("文件已经存在，是否覆盖？"),
                                   Global::PromptIcon::Question, Global::PromptButtons::OkCancel},
            [self, path](Global::PromptAnswer answer) {
                if (self && answer == Global::PromptAnswer::Ok)
                    self->d->SaveCourseFile(path);
            });
    });
}
