#include "controls/coursemanage/manage.h"

#include "controls/coursemanage/manageprivate.h"

#include "controls/coursemanage/aulix_coursemanage_logging.h"
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

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;
using namespace Courseware;
using namespace ManageText;

QString ManageText::PromptTitle()
{
    return Manage::tr("LumoClass 系统提示：");
}

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
    d->tree->setAccessibleName(tr("课件目录"));
    d->openButton = new QPushButton(tr("打开"), this);
    d->saveButton = new QPushButton(tr("保存"), this);
    d->newButton = new QPushButton(tr("新建"), this);
    d->progress = new ProgressWindow(this);
    d->properties = new NodePropertiesWindow(this);
    d->task = new BackgroundTask(this);

    d->menu = new QMenu(this);
    d->createFolderAction = d->menu->addAction(tr("创建目录"), this, &Manage::CreateFolder);
    d->insertFileAction = d->menu->addAction(tr("插入文件"), this, &Manage::InsertFile);
    d->insertUrlAction = d->menu->addAction(tr("插入URL"), this, &Manage::InsertUrl);
    d->menu->addSeparator();
    d->playAction = d->menu->addAction(tr("播放(&P)"), this, &Manage::PlaySelected);
    d->editAction = d->menu->addAction(tr("编辑(&E)"), this, &Manage::EditSelected);
    d->menu->addSeparator();
    d->deleteAction = d->menu->addAction(tr("删除(&D)"), this, &Manage::DeleteSelected);
    d->renameAction = d->menu->addAction(tr("重命名(&M)"), this, &Manage::RenameSelected);
    d->menu->addSeparator();
    d->teacherAction = d->menu->addAction(tr("主讲人名称(&N)"), this, &Manage::AskTeacherName);
    d->propertiesAction = d->menu->addAction(tr("属性(&R)"), this, &Manage::ShowProperties);

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

void Manage::setbIsOpened(bool opened)
{
    d->opened = opened;
    if (!opened) {
        d->nextLoad.reset();
        d->cancelLoad();
    }
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

void Manage::Clear()
{
    d->removeAll();
    d->opened = false;
    d->nextLoad.reset();
    d->cancelLoad();
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
    case Global::ShellFileNotFound: text = tr("指定文件没有找到！"); break;
    case Global::ShellPathNotFound: text = tr("指定路径没有找到！"); break;
    case Global::ShellOutOfMemory: text = tr("没有足够的内存运行指定程序！"); break;
    default: text = tr("打开指定文件出错！"); break;
    }
    d->prompt().inform(tr("Lumo Class 系统提示："), text);
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

void Manage::PlaySelected()
{
    d->playNode(d->selected(), false);
}

void Manage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->layout();
}
