#pragma once

// The inside of Manage, shared by its source files: manage.cpp (the tree,
// playing, properties), managefiles.cpp (loading and saving on the worker)
// and manageediting.cpp (the authoring commands).

#include "controls/coursemanage/backgroundtask.h"
#include "controls/coursemanage/courseware/coursewarereader.h"
#include "controls/coursemanage/courseware/coursewarewriter.h"
#include "controls/coursemanage/manage.h"

#include "common/apppaths.h"
#include "common/desktop/fallbacks.h"
#include "common/errorlog.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPushButton;
class QTreeWidgetItem;

namespace ManageText {

using namespace Qt::StringLiterals;

// The title of the control's message boxes (translated, so read at use).
QString PromptTitle();
inline const QString DefaultTeacherName = u"Lumo Class Instructer"_s;
inline const QString BlankTeacherDefault = u"LumoClass Instructer"_s;
inline const QString NewCourseCaption = u"新建课件"_s;
inline const QString NewFolderCaption = u"新建目录"_s;
inline const QString InsertFileFilter
    = u"图片文件 (*.wmf,*.gif,*.jpg,*.png)|*.wmf;*.gif;*.jpg;*.png|Flash 文件 (*.swf)|*.swf|文本文件 (*.txt)|*.txt|HTML文件 (*.htm,*.html)|*.htm;*.html|声音文件 (*.wav;*.mp3)|*.wav;*.mp3|视频文件 (*.avi,*.mpeg,*.mpg)|*.avi;*.mpeg;*.mpg|全部文件 (*.*)|*.*"_s;
inline const QString CourseFileFilter = u"Lumo Class 课件文件 (*.lsn)|*.lsn"_s;
inline constexpr int ButtonRowHeight = 25;
inline constexpr int ButtonGap = 2;

inline void logFailure(const QString &procedure, const QString &description, int line)
{
    Global::WriteErrorLog(u"Course Manage"_s, procedure, description, line);
}

// Deletes every file of the folder (sub-folders stay), creating it if
// missing. Failures go to `log`, which knows whose step this is.
void ClearTempFolder(const QString &folder, const std::function<void(const QString &, int)> &log);

} // namespace ManageText

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
    QString teacherName = ManageText::DefaultTeacherName;
    bool opened = false;
    bool mediaFile = false;
    bool urlFile = false;
    bool nodeIsFolder = false;
    bool connected = false;
    bool modified = false;
    bool busy = false;
    bool loading = false; // the busy work is a load
    bool dropLoad = false; // the running load's result is not wanted
    std::optional<QString> nextLoad; // asked for while busy
    bool applyingChange = false; // our own item changes are not user edits
    int nextNumber = 0;
    qint64 expandLimit = Courseware::DefaultExpandLimit;
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
        return Manage::PictureOf(item) == QStringLiteral("folder");
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
    void requestLoad(const QString &path);
    void startLoad(const QString &path);
    void cancelLoad();
    void afterWork();
    void finishLoad(const QString &path, const Courseware::ReadResult &result);
    void SaveCourseFile(const QString &path, std::function<void(bool)> after = {});
    Courseware::CourseNode snapshot(const QTreeWidgetItem *item) const;
    void layout();
};
