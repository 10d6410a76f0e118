#include "controls/coursemanage/manageprivate.h"

#include "controls/coursemanage/coursetreewidget.h"
#include "controls/coursemanage/nodepropertieswindow.h"

#include "common/filechooser.h"
#include "common/prompter.h"

#include <QFileInfo>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTreeWidgetItem>

using namespace Qt::StringLiterals;
using namespace Courseware;
using namespace ManageText;

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
        prompt().inform(Manage::tr("不支持这些格式的文件"), refused);
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
    d->prompt().askText(Manage::tr("插入URL"), Manage::tr("请输入网址"), u"http://"_s,
        [self](bool accepted, const QString &answer) {
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
    d->prompt().show(Global::Prompt{PromptTitle(), Manage::tr("确定要删除这个节点和它的子节点吗？"),
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
    d->prompt().askText(u"LumoInstucter"_s, Manage::tr("请输入主讲人名称"), initial,
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
    const QStringList lines = {Manage::tr("节点编号：") + KeyOf(item),
        Manage::tr("节点类型：") + (folder ? Manage::tr("目录") : Manage::tr("文件")),
        Manage::tr("节点名称：") + item->text(0), Manage::tr("文件类型：") + type,
        Manage::tr("文件名称：") + tag};
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
