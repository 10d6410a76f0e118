#include "controls/coursemanage/manage.h"

#include "controls/coursemanage/backgroundtask.h"
#include "controls/coursemanage/courseicons.h"
#include "controls/coursemanage/coursetreewidget.h"
#include "controls/coursemanage/courseware/coursewarereader.h"
#include "controls/coursemanage/courseware/coursewarewriter.h"
#include "controls/coursemanage/nodepropertieswindow.h"
#include "controls/coursemanage/progresswindow.h"

#include "common/apppaths.h"
#include "common/desktop/fallbacks.h"
#include "common/desktop/shellopen.h"
#include "common/errorlog.h"
#include "common/filechooser.h"
#include "common/prompter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScopedValueRollback>

using namespace Qt::StringLiterals;
using namespace Courseware;

namespace {

const QString PromptTitle = u"LumoClass 系统提示："_s;
const QString DefaultTeacherName = u"Lumo Class Instructer"_s;
const QString BlankTeacherDefault = u"LumoClass Instructer"_s;
const QString NewCourseCaption = u"新建课件"_s;
const QString NewFolderCaption = u"新建目录"_s;
const QString InsertFileFilter
    = u"图片文件 (*.wmf,*.gif,*.jpg,*.png)|*.wmf;*.gif;*.jpg;*.png|Flash 文件 (*.swf)|*.swf|文本文件 (*.txt)|*.txt|HTML文件 (*.htm,*.html)|*.htm;*.html|声音文件 (*.wav;*.mp3)|*.wav;*.mp3|视频文件 (*.avi,*.mpeg,*.mpg)|*.avi;*.mpeg;*.mpg|全部文件 (*.*)|*.*"_s;
const QString CourseFileFilter = u"Lumo Class 课件文件 (*.lsn)|*.lsn"_s;
constexpr int ButtonRowHeight = 25;
constexpr int ButtonGap = 2;

void logFailure(const QString &procedure, const QString &description, int line)
{
    Global::WriteErrorLog(u"Course Manage"_s, procedure, description, line);
}

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

} // namespace

class ManagePrivate
{
public:
    explicit ManagePrivate(Manage *q)
        : q(q)
        , prompter(q)
    { }

    Manage *q;
    CourseTreeWidget *tree = nullptr;
    QPushButton *openButton = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *newButton = nullptr;
    QMenu *menu = nullptr;
    QAction *createFolderAction = nullptr;
    QAction *insertFileAction = nullptr;
    QAction *insertUrlAction = nullptr;
    QAction *playAction = nullptr;
    QAction *editAction = nullptr;
    QAction *deleteAction = nullptr;
    QAction *renameAction = nullptr;
    QAction *teacherAction = nullptr;
    QAction *propertiesAction = nullptr;
    ProgressWindow *progress = nullptr;
    NodePropertiesWindow *properties = nullptr;
    BackgroundTask *task = nullptr;

    Global::PrompterSlot prompter;
    Global::FileChooserSlot chooser;
    std::function<int(const QString &, int)> shellOpener;

    QString courseName;
    QString teacherName = DefaultTeacherName;
    bool opened = false;
    bool mediaFile = false;
    bool urlFile = false;
    bool nodeIsFolder = false;
    bool connected = false;
    bool modified = false;
    bool busy = false;
    bool applyingChange = false; // our own item changes are not user edits
    int nextNumber = 0;
    qint64 expandLimit = DefaultExpandLimit;
    QString appPath;
    QString tempFolder = Global::TempFolder();
    QString currentFile;

    // Creation order: a node's position here is its number for Play.
    QList<QTreeWidgetItem *> nodes;
    QHash<QString, QTreeWidgetItem *> byKey;

    Global::Prompter &prompt() { return prompter.get(); }
    Global::FileChooser &files() { return chooser.get(); }

    QTreeWidgetItem *addNode(QTreeWidgetItem *parent, const QString &key, const QString &text,
        const QString &picture, const QString &tag, int index = -1);
    void removeNode(QTreeWidgetItem *item);
    void removeAll();
    QString takeNewKey(QTreeWidgetItem *parent);
    QTreeWidgetItem *makeRoot();
    QTreeWidgetItem *selected() const;
    QTreeWidgetItem *folderForInsert(bool selectIt);
    bool isFolder(const QTreeWidgetItem *item) const
    {
        return Manage::PictureOf(item) == u"folder"_s;
    }
    int positionOf(const QTreeWidgetItem *item) const { return int(nodes.indexOf(item)) + 1; }

    void playNode(QTreeWidgetItem *item, bool ad);
    void updateMenu(QTreeWidgetItem *item);
    void onItemChanged(QTreeWidgetItem *item, int column);
    void moveNode(const QString &key, QTreeWidgetItem *target);
    void addDroppedFiles(const QStringList &paths);
    bool isInside(const QTreeWidgetItem *item, const QTreeWidgetItem *ancestor) const;

    void beginBusy(const QString &caption);
    void endBusy();
    void startLoad(const QString &path);
    void finishLoad(const QString &path, const ReadResult &result);
    void SaveCourseFile(const QString &path, std::function<void(bool)> after = {});
    CourseNode snapshot(const QTreeWidgetItem *item) const;
    void layout();
};

QTreeWidgetItem *ManagePrivate::addNode(QTreeWidgetItem *parent, const QString &key,
    const QString &text, const QString &picture, const QString &tag, int index)
{
    if (byKey.contains(key)) {
        logFailure(u"AddNode"_s, u"key %1 is already in the tree"_s.arg(key), __LINE__);
        return nullptr;
    }
    const QScopedValueRollback<bool> guard(applyingChange, true);
    auto *item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setData(0, CourseTreeWidget::KeyRole, key);
    item->setData(0, CourseTreeWidget::TagRole, tag);
    item->setData(0, CourseTreeWidget::PictureRole, picture);
    item->setIcon(0, CourseIcons::icon(picture));
    item->setFlags(
        item->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
    if (!parent)
        tree->addTopLevelItem(item);
    else if (index < 0 || index >= parent->childCount())
        parent->addChild(item);
    else
        parent->insertChild(index, item);
    item->setExpanded(true);
    if (parent)
        parent->setExpanded(true);
    nodes.append(item);
    byKey.insert(key, item);
    return item;
}

void ManagePrivate::removeNode(QTreeWidgetItem *item)
{
    // Children first, so the node list and the key index never hold a
    // deleted item.
    while (item->childCount() > 0)
        removeNode(item->child(item->childCount() - 1));
    nodes.removeAll(item);
    byKey.remove(Manage::KeyOf(item));
    delete item;
}

void ManagePrivate::removeAll()
{
    const QScopedValueRollback<bool> guard(applyingChange, true);
    tree->clear();
    nodes.clear();
    byKey.clear();
}

QString ManagePrivate::takeNewKey(QTreeWidgetItem *parent)
{
    return Manage::KeyOf(parent) + u'_' + QString::number(nextNumber++);
}

QTreeWidgetItem *ManagePrivate::makeRoot()
{
    QTreeWidgetItem *root
        = addNode(nullptr, RootKey, NewCourseCaption, u"folder"_s, NewCourseCaption);
    nextNumber = 1;
    return root;
}

QTreeWidgetItem *ManagePrivate::selected() const
{
    const QList<QTreeWidgetItem *> items = tree->selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

// The folder that new nodes go under: the selected folder, the parent of a
// selected non-folder, or the root when nothing is selected.
QTreeWidgetItem *ManagePrivate::folderForInsert(bool selectIt)
{
    QTreeWidgetItem *item = selected();
    if (item && !isFolder(item) && item->parent()) {
        item = item->parent();
        if (selectIt)
            tree->setCurrentItem(item);
    }
    if (!item)
        item = byKey.value(RootKey);
    return item;
}

bool ManagePrivate::isInside(const QTreeWidgetItem *item, const QTreeWidgetItem *ancestor) const
{
    for (; item; item = item->parent()) {
        if (item == ancestor)
            return true;
    }
    return false;
}

void ManagePrivate::playNode(QTreeWidgetItem *item, bool ad)
{
    if (!item)
        return;
    const QString name = ResolveTag(Manage::TagOf(item), tempFolder);
    const QString picture = Manage::PictureOf(item);
    if (!ad)
        nodeIsFolder = picture == u"folder"_s;
    const qint16 type = FileTypeForPicture(picture, &urlFile);
    mediaFile = type == OLE_Wave || type == OLE_Movie;
    const qint32 id = positionOf(item);
    if (ad)
        Q_EMIT q->OnplayAd(id, name, type);
    else
        Q_EMIT q->OnPlay(id, name, type);
}

void ManagePrivate::updateMenu(QTreeWidgetItem *item)
{
    if (!item) {
        for (QAction *action :
            {playAction, editAction, deleteAction, renameAction, propertiesAction})
            action->setEnabled(false);
        return;
    }
    const bool folder = isFolder(item);
    createFolderAction->setEnabled(folder);
    playAction->setEnabled(!folder);
    editAction->setEnabled(!folder);
    for (QAction *action : {deleteAction, renameAction, propertiesAction})
        action->setEnabled(true);
}

void ManagePrivate::onItemChanged(QTreeWidgetItem *item, int column)
{
    if (applyingChange || column != 0)
        return;
    // A renamed web address keeps ".url" at the end of its caption, which is
    // how readers tell addresses from files.
    const QString text = item->text(0);
    if (IsWebAddressTag(Manage::TagOf(item)) && !text.toLower().endsWith(UrlSuffix)) {
        const QScopedValueRollback<bool> guard(applyingChange, true);
        item->setText(0, text + UrlSuffix);
    }
    modified = true;
}

void ManagePrivate::moveNode(const QString &key, QTreeWidgetItem *target)
{
    QTreeWidgetItem *node = byKey.value(key);
    if (!node || !target || isFolder(node) || node == target)
        return;
    QTreeWidgetItem *newParent = nullptr;
    int index = -1;
    if (isFolder(target)) {
        if (node->parent() == target)
            return;
        newParent = target;
    } else {
        newParent = target->parent();
        if (!newParent)
            return;
    }
    if (isInside(newParent, node)) {
        logFailure(u"TreeView_DragDrop"_s, u"%1 cannot move into itself"_s.arg(key), __LINE__);
        return;
    }
    if (node->childCount() > 0) {
        // Its children's keys name it as their parent; a move would orphan them.
        logFailure(u"TreeView_DragDrop"_s, u"%1 has children and stays"_s.arg(key), __LINE__);
        return;
    }
    const int number = NodeNumberOf(key);
    const QString newKey = Manage::KeyOf(newParent) + u'_' + QString::number(number);
    QTreeWidgetItem *holder = byKey.value(newKey);
    if (number < 0 || (holder && holder != node)) {
        logFailure(u"TreeView_DragDrop"_s, u"%1 cannot become %2"_s.arg(key, newKey), __LINE__);
        return;
    }
    const QString text = node->text(0);
    const QString picture = Manage::PictureOf(node);
    const QString tag = Manage::TagOf(node);
    // The place is taken once the old node is gone: it may have sat before
    // the target in the same folder.
    removeNode(node);
    if (!isFolder(target))
        index = newParent->indexOfChild(target) + 1;
    // The moved node is added anew, so it takes the last position in the
    // node list as the original tree control did.
    QTreeWidgetItem *moved = addNode(newParent, newKey, text, picture, tag, index);
    tree->setCurrentItem(moved);
    modified = true;
}

void ManagePrivate::addDroppedFiles(const QStringList &paths)
{
    if (nodes.isEmpty())
        makeRoot();
    QTreeWidgetItem *folder = folderForInsert(true);
    QString refused;
    for (const QString &path : paths) {
        const QString picture = PictureForExtension(ExtensionOfPath(path));
        if (picture == u"other"_s || !folder) {
            refused += u"\r\n"_s + path;
            continue;
        }
        addNode(folder, takeNewKey(folder), QFileInfo(path).fileName(), picture, path);
        modified = true;
    }
    if (!refused.isEmpty())
        prompt().inform(u"不支持这些格式的文件"_s, refused);
}

void ManagePrivate::beginBusy(const QString &caption)
{
    busy = true;
    q->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    progress->start(caption);
}

void ManagePrivate::endBusy()
{
    progress->hide();
    QGuiApplication::restoreOverrideCursor();
    q->setEnabled(true);
    busy = false;
}

void ManagePrivate::startLoad(const QString &path)
{
    currentFile = path;
    beginBusy(u"正在打开文件..."_s);
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
    switch (result.status) {
    case ReadStatus::OpenFailed:
    case ReadStatus::NotCourseware:
        // The user is told to download it again, so a damaged copy must go.
        if (result.status == ReadStatus::NotCourseware && !QFile::remove(path))
            LogCoursewareError(u"cannot delete %1"_s.arg(path), __LINE__);
        prompt().inform(
            PromptTitle, u"不是合法的Lumo Class课件文件,请重新下载"_s, Global::PromptIcon::Warning);
        Q_EMIT q->CourseFileLoaded(false);
        return;
    case ReadStatus::UnsupportedVersion:
        prompt().inform(PromptTitle,
            u"这个程序不能读取"_s + QString::number(result.version)
                + u".0版本的Lumo Class课件文件"_s,
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
            item->setToolTip(0, u"文件已损坏，无法播放"_s);
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
    beginBusy(u"正在保存文件..."_s);
    QObject::connect(
        task, &BackgroundTask::finished, q,
        [this, path, result, after] {
            endBusy();
            if (result->ok) {
                modified = false;
                currentFile = path;
                prompt().inform(PromptTitle, u"保存完毕"_s);
            } else {
                prompt().inform(PromptTitle,
                    u"保存课件文件失败，原来的文件没有改动。\r\n"_s + result->error,
                    Global::PromptIcon::Warning);
            }
            Q_EMIT q->CourseFileSaved(result->ok);
            if (after)
                after(result->ok);
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

void ManagePrivate::layout()
{
    const int width = q->width();
    const int treeHeight = std::max(0, q->height() - ButtonRowHeight);
    tree->setGeometry(0, 0, width, treeHeight);
    int x = 0;
    for (QPushButton *button : {openButton, saveButton, newButton}) {
        const int w = button->sizeHint().width();
        button->setGeometry(x, treeHeight + ButtonGap, w, ButtonRowHeight - ButtonGap);
        x += w;
    }
}

Manage::Manage(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<ManagePrivate>(this))
{
    d->tree = new CourseTreeWidget(this);
    d->openButton = new QPushButton(u"打开"_s, this);
    d->saveButton = new QPushButton(u"保存"_s, this);
    d->newButton = new QPushButton(u"新建"_s, this);
    d->progress = new ProgressWindow(this);
    d->properties = new NodePropertiesWindow(this);
    d->task = new BackgroundTask(this);

    d->menu = new QMenu(this);
    d->createFolderAction = d->menu->addAction(u"创建目录"_s, this, &Manage::CreateFolder);
    d->insertFileAction = d->menu->addAction(u"插入文件"_s, this, &Manage::InsertFile);
    d->insertUrlAction = d->menu->addAction(u"插入URL"_s, this, &Manage::InsertUrl);
    d->menu->addSeparator();
    d->playAction = d->menu->addAction(u"播放(&P)"_s, this, &Manage::PlaySelected);
    d->editAction = d->menu->addAction(u"编辑(&E)"_s, this, &Manage::EditSelected);
    d->menu->addSeparator();
    d->deleteAction = d->menu->addAction(u"删除(&D)"_s, this, &Manage::DeleteSelected);
    d->renameAction = d->menu->addAction(u"重命名(&M)"_s, this, &Manage::RenameSelected);
    d->menu->addSeparator();
    d->teacherAction = d->menu->addAction(u"主讲人名称(&N)"_s, this, &Manage::AskTeacherName);
    d->propertiesAction = d->menu->addAction(u"属性(&R)"_s, this, &Manage::ShowProperties);

    connect(d->openButton, &QPushButton::clicked, this, &Manage::OpenCourse);
    connect(d->saveButton, &QPushButton::clicked, this, &Manage::SaveCourse);
    connect(d->newButton, &QPushButton::clicked, this, &Manage::NewCourse);
    connect(d->task, &BackgroundTask::progressed, d->progress, &ProgressWindow::setValue);
    connect(d->tree, &QTreeWidget::itemChanged, this,
        [this](QTreeWidgetItem *item, int column) { d->onItemChanged(item, column); });
    connect(d->tree, &CourseTreeWidget::nodeActivated, this, &Manage::PlaySelected);
    connect(d->tree, &CourseTreeWidget::nodePressed, this,
        [this](QTreeWidgetItem *item, Qt::MouseButton button, const QPoint &globalPos) {
            d->updateMenu(item);
            if (button == Qt::RightButton)
                d->menu->popup(globalPos);
        });
    connect(d->tree, &CourseTreeWidget::nodeDropped, this,
        [this](const QString &key, QTreeWidgetItem *target) { d->moveNode(key, target); });
    connect(d->tree, &CourseTreeWidget::filesDropped, this,
        [this](const QStringList &paths) { d->addDroppedFiles(paths); });

    ClearTempFolder(d->tempFolder, [](const QString &description, int line) {
        Global::WriteErrorLog(u"Courseware"_s, u"UserControl_Initialize"_s, description, line);
    });
    resize(200, 300);
    d->layout();
}

Manage::~Manage()
{
    // The worker may still be writing into the temporary folder or the
    // result it shares with us: stop it before the members go.
    delete d->task;
    d->task = nullptr;
    if (d->busy)
        QGuiApplication::restoreOverrideCursor();
}

void Manage::setPrompter(Global::Prompter *prompter)
{
    d->prompter.set(prompter);
}

void Manage::setFileChooser(Global::FileChooser *chooser)
{
    d->chooser.set(chooser);
}

void Manage::setShellOpener(std::function<int(const QString &, int)> opener)
{
    d->shellOpener = std::move(opener);
}

void Manage::setExpandLimit(qint64 bytes)
{
    d->expandLimit = bytes;
}

QString Manage::CourseName() const
{
    return d->courseName;
}

QString Manage::TeacherName() const
{
    return d->teacherName;
}

void Manage::setTeacherName(const QString &name)
{
    d->teacherName = name;
}

bool Manage::bIsOpened() const
{
    return d->opened;
}

bool Manage::bMediaFile() const
{
    return d->mediaFile;
}

bool Manage::bUrlFile() const
{
    return d->urlFile;
}

bool Manage::bNodeIsFolder() const
{
    return d->nodeIsFolder;
}

bool Manage::Connected() const
{
    return d->connected;
}

void Manage::setConnected(bool connected)
{
    d->connected = connected;
    for (QPushButton *button : {d->openButton, d->saveButton, d->newButton})
        button->setEnabled(!connected);
    d->menu->setEnabled(!connected);
    d->tree->setInteractive(!connected);
}

QString Manage::gAppPath() const
{
    return d->appPath;
}

void Manage::setgAppPath(const QString &path)
{
    d->appPath = path;
    // An empty path would make "temp" relative to whatever the working
    // folder is, and loading clears that folder.
    d->tempFolder = path.trimmed().isEmpty()
        ? Global::TempFolder()
        : Global::WithTrailingSeparator(JoinFolder(QDir::cleanPath(path), u"temp"_s));
}

QString Manage::TempFolder() const
{
    return d->tempFolder;
}

QString Manage::CurrentFileName() const
{
    return d->currentFile;
}

bool Manage::IsModified() const
{
    return d->modified;
}

bool Manage::IsBusy() const
{
    return d->busy;
}

int Manage::NextNodeNumber() const
{
    return d->nextNumber;
}

void Manage::LoadCourseFile(const QString &fname)
{
    if (d->busy) {
        logFailure(u"LoadCourseFile"_s,
            u"still busy with %1; %2 not opened"_s.arg(d->currentFile, fname), __LINE__);
        return;
    }
    QPointer<Manage> self(this);
    CheckSave([self, fname](bool proceed) {
        if (self && proceed && !self->d->busy)
            self->d->startLoad(fname);
    });
}

void Manage::CheckSave(std::function<void(bool)> proceed)
{
    if (!d->modified || d->nodes.isEmpty()) {
        proceed(true);
        return;
    }
    QPointer<Manage> self(this);
    d->prompt().show(Global::Prompt{PromptTitle, u"课件已经修改，是否保存？"_s,
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

void Manage::Clear()
{
    d->removeAll();
}

void Manage::Play(qint32 id)
{
    QTreeWidgetItem *item = NodeAt(id);
    if (!item) {
        Q_EMIT OnPlayInvalid(id);
        return;
    }
    d->tree->setCurrentItem(item);
    d->playNode(item, false);
}

void Manage::PlayAd(qint32 id)
{
    QTreeWidgetItem *item = NodeAt(id);
    if (!item) {
        Q_EMIT OnPlayInvalid(id);
        return;
    }
    d->tree->setCurrentItem(item);
    d->playNode(item, true);
}

int Manage::OpenWithShell(const QString &path, Manage::e_WinMode mode)
{
    int result = 0;
    if (d->shellOpener) {
        result = d->shellOpener(path, int(mode));
    } else {
        // The shared helper words a missing file for the companion program;
        // this control has its own texts.
        Global::ScriptedPrompter silent;
        result = Global::ShellOpenFile(path, int(mode), silent);
    }
    if (result > 32)
        return result;
    QString text;
    switch (result) {
    case Global::ShellFileNotFound: text = u"指定文件没有找到！"_s; break;
    case Global::ShellPathNotFound: text = u"指定路径没有找到！"_s; break;
    case Global::ShellOutOfMemory: text = u"没有足够的内存运行指定程序！"_s; break;
    default: text = u"打开指定文件出错！"_s; break;
    }
    d->prompt().inform(u"Lumo Class 系统提示："_s, text);
    return result;
}

int Manage::NodeCount() const
{
    return int(d->nodes.size());
}

QTreeWidgetItem *Manage::NodeAt(qint32 id) const
{
    if (id < 1 || id > d->nodes.size())
        return nullptr;
    return d->nodes.at(id - 1);
}

QTreeWidgetItem *Manage::NodeByKey(const QString &key) const
{
    return d->byKey.value(key);
}

QString Manage::KeyOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, CourseTreeWidget::KeyRole).toString() : QString();
}

QString Manage::TagOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, CourseTreeWidget::TagRole).toString() : QString();
}

QString Manage::PictureOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, CourseTreeWidget::PictureRole).toString() : QString();
}

CourseTreeWidget *Manage::TreeView() const
{
    return d->tree;
}

QMenu *Manage::PopupMenu() const
{
    return d->menu;
}

QPushButton *Manage::OpenButton() const
{
    return d->openButton;
}

QPushButton *Manage::SaveButton() const
{
    return d->saveButton;
}

QPushButton *Manage::NewButton() const
{
    return d->newButton;
}

ProgressWindow *Manage::Progress() const
{
    return d->progress;
}

NodePropertiesWindow *Manage::PropertiesWindow() const
{
    return d->properties;
}

void Manage::CreateFolder()
{
    if (d->nodes.isEmpty()) {
        d->makeRoot();
        d->modified = true;
        return;
    }
    QTreeWidgetItem *parent = d->selected();
    if (parent && !d->isFolder(parent))
        return;
    if (!parent)
        parent = d->byKey.value(RootKey);
    if (!parent)
        return;
    d->addNode(parent, d->takeNewKey(parent), NewFolderCaption, u"folder"_s, NewFolderCaption);
    d->modified = true;
}

void Manage::InsertFile()
{
    if (d->nodes.isEmpty())
        d->tree->setCurrentItem(d->makeRoot());
    if (!d->selected() && !d->nodes.isEmpty())
        d->tree->setCurrentItem(d->nodes.first());
    QTreeWidgetItem *folder = d->folderForInsert(true);
    if (!folder)
        return;
    // The folder is remembered by key: the tree may change while the user
    // is choosing.
    const QString folderKey = KeyOf(folder);
    QPointer<Manage> self(this);
    d->files().chooseOpenFile(this, InsertFileFilter, [self, folderKey](const QString &path) {
        if (!self || path.isEmpty())
            return;
        QTreeWidgetItem *target = self->d->byKey.value(folderKey);
        if (!target)
            return;
        self->d->addNode(target, self->d->takeNewKey(target), QFileInfo(path).fileName(),
            PictureForExtension(ExtensionOfPath(path)), path);
        self->d->modified = true;
    });
}

void Manage::InsertUrl()
{
    QPointer<Manage> self(this);
    d->prompt().askText(
        u"插入URL"_s, u"请输入网址"_s, u"http://"_s, [self](bool accepted, const QString &answer) {
            if (!self || !accepted || answer.isEmpty() || answer == u"http://"_s)
                return;
            ManagePrivate *d = self->d.get();
            const QString caption = answer + UrlSuffix;
            if (d->nodes.isEmpty())
                d->tree->setCurrentItem(d->makeRoot());
            QTreeWidgetItem *folder = d->folderForInsert(true);
            if (!folder)
                return;
            d->addNode(folder, d->takeNewKey(folder), caption, u"url"_s, caption);
            d->modified = true;
        });
}

void Manage::PlaySelected()
{
    d->playNode(d->selected(), false);
}

void Manage::EditSelected()
{
    QTreeWidgetItem *item = d->selected();
    if (!item || d->isFolder(item))
        return;
    OpenWithShell(ResolveTag(TagOf(item), d->tempFolder), Normal);
    d->modified = true;
}

void Manage::DeleteSelected()
{
    QTreeWidgetItem *item = d->selected();
    if (!item)
        return;
    const QString key = KeyOf(item);
    QPointer<Manage> self(this);
    d->prompt().show(Global::Prompt{PromptTitle, u"确定要删除这个节点和它的子节点吗？"_s,
                         Global::PromptIcon::Question, Global::PromptButtons::OkCancel},
        [self, key](Global::PromptAnswer answer) {
            if (!self || answer != Global::PromptAnswer::Ok)
                return;
            if (QTreeWidgetItem *node = self->d->byKey.value(key)) {
                const QScopedValueRollback<bool> guard(self->d->applyingChange, true);
                self->d->removeNode(node);
                self->d->modified = true;
            }
        });
}

void Manage::RenameSelected()
{
    if (QTreeWidgetItem *item = d->selected())
        d->tree->editItem(item, 0);
}

void Manage::AskTeacherName()
{
    const QString initial
        = d->teacherName.trimmed().isEmpty() ? BlankTeacherDefault : d->teacherName;
    QPointer<Manage> self(this);
    d->prompt().askText(u"LumoInstucter"_s, u"请输入主讲人名称"_s, initial,
        [self](bool accepted, const QString &answer) {
            if (self && accepted && !answer.trimmed().isEmpty())
                self->d->teacherName = answer;
        });
}

void Manage::ShowProperties()
{
    QTreeWidgetItem *item = d->selected();
    if (!item)
        return;
    const bool folder = d->isFolder(item);
    const QString tag = TagOf(item);
    const qsizetype dot = tag.lastIndexOf(u'.');
    const QString type = folder || dot < 0 ? QString() : tag.mid(dot);
    const QStringList lines
        = {u"节点编号："_s + KeyOf(item), u"节点类型："_s + (folder ? u"目录"_s : u"文件"_s),
            u"节点名称："_s + item->text(0), u"文件类型："_s + type, u"文件名称："_s + tag};
    d->properties->showText(lines.join(u"\r\n"_s));
}

void Manage::NewCourse()
{
    QPointer<Manage> self(this);
    CheckSave([self](bool proceed) {
        if (self && proceed)
            self->d->removeAll();
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
        self->d->prompt().show(Global::Prompt{PromptTitle, u"文件已经存在，是否覆盖？"_s,
                                   Global::PromptIcon::Question, Global::PromptButtons::OkCancel},
            [self, path](Global::PromptAnswer answer) {
                if (self && answer == Global::PromptAnswer::Ok)
                    self->d->SaveCourseFile(path);
            });
    });
}

void Manage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->layout();
}
