#pragma once

#include "controls/coursemanage/aulix_coursemanage_export.h"
#include "controls/coursemanage/courseware/coursepictures.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QMenu;
class QPushButton;
class QTreeWidgetItem;
class CourseTreeWidget;
class NodePropertiesWindow;
class ProgressWindow;

namespace Global {
class FileChooser;
class Prompter;
} // namespace Global

// The course manager: the tree of a course's folders, files and web
// addresses, loading and saving courseware files, playing a node, and the
// authoring commands of its popup menu and buttons.
//
// Loading and saving run on a worker thread; while they run the control is
// disabled and shows a progress window. `bIsOpened` turns False when a load
// starts and True, with CourseFileLoaded(true), once the file has been read.
// A load asked for while another runs replaces it: the running one is
// cancelled and its result dropped, so only the last file asked for is
// reported.
class AULIX_COURSEMANAGE_EXPORT Manage : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString CourseName READ CourseName)
    Q_PROPERTY(QString TeacherName READ TeacherName WRITE setTeacherName)
    Q_PROPERTY(bool bIsOpened READ bIsOpened WRITE setbIsOpened)
    Q_PROPERTY(bool bMediaFile READ bMediaFile)
    Q_PROPERTY(bool bUrlFile READ bUrlFile)
    Q_PROPERTY(bool bNodeIsFolder READ bNodeIsFolder)
    Q_PROPERTY(bool Connected READ Connected WRITE setConnected)
    Q_PROPERTY(QString gAppPath READ gAppPath WRITE setgAppPath)

public:
    // Window modes for OpenWithShell. Append only.
    enum e_WinMode : int {
        Hide = 0,
        Normal = 1,
        Max = 3,
        Min = 6,
        MinNA = 7,
        NormalNA = 8,
    };

    explicit Manage(QWidget *parent = nullptr);
    ~Manage() override;

    // Not owned. Without one: message boxes over the control.
    void setPrompter(Global::Prompter *prompter);
    // Not owned. Without one: file dialogs.
    void setFileChooser(Global::FileChooser *chooser);
    // Opens a document or address for "edit"; returns a shell-style result
    // (above 32 is success). The default uses the desktop shell.
    void setShellOpener(std::function<int(const QString &path, int mode)> opener);
    // Ceiling for one expanded embedded file (1 GiB unless set).
    void setExpandLimit(qint64 bytes);

    QString CourseName() const;
    QString TeacherName() const;
    void setTeacherName(const QString &name);
    bool bIsOpened() const;
    // The host sets it False when it leaves the class; that also cancels a
    // load still running, whose end is then reported as CourseFileLoaded(false).
    void setbIsOpened(bool opened);
    bool bMediaFile() const;
    bool bUrlFile() const;
    bool bNodeIsFolder() const;
    bool Connected() const;
    void setConnected(bool connected);
    QString gAppPath() const;
    // The temporary folder becomes this folder + "/temp/".
    void setgAppPath(const QString &path);

    // Where the files of a loaded course are expanded, with a trailing "/".
    QString TempFolder() const;
    QString CurrentFileName() const;
    bool IsModified() const;
    bool IsBusy() const; // a file is being read or written
    int NextNodeNumber() const;

    // Asks CheckSave, then reads the file in the background. While a load
    // runs, the new file replaces it without asking again (the question was
    // about the same tree); while a save runs, the load follows it.
    void LoadCourseFile(const QString &fname);
    // Answers through `proceed`: true when nothing unsaved would be lost
    // (saved, or the user chose to drop the changes).
    void CheckSave(std::function<void(bool proceed)> proceed);
    // Removes every node; `bIsOpened` becomes False and a running load is
    // cancelled.
    void Clear();
    void Play(qint32 id);
    void PlayAd(qint32 id);
    int OpenWithShell(const QString &path, e_WinMode mode);

    // Node positions (1-based, creation order) as used by Play and PlayAd.
    int NodeCount() const;
    QTreeWidgetItem *NodeAt(qint32 id) const;
    QTreeWidgetItem *NodeByKey(const QString &key) const;
    static QString KeyOf(const QTreeWidgetItem *item);
    static QString TagOf(const QTreeWidgetItem *item);
    static QString PictureOf(const QTreeWidgetItem *item);

    CourseTreeWidget *TreeView() const;
    QMenu *PopupMenu() const;
    QPushButton *OpenButton() const;
    QPushButton *SaveButton() const;
    QPushButton *NewButton() const;
    ProgressWindow *Progress() const;
    NodePropertiesWindow *PropertiesWindow() const;

public Q_SLOTS:
    // The popup menu's commands and the three buttons.
    void CreateFolder();
    void InsertFile();
    void InsertUrl();
    void PlaySelected();
    void EditSelected();
    void DeleteSelected();
    void RenameSelected();
    void AskTeacherName();
    void ShowProperties();
    void NewCourse();
    void OpenCourse();
    void SaveCourse();

Q_SIGNALS:
    void OnPlay(qint32 id, const QString &FileName, qint16 FileType);
    // Answers PlayAd. The student client plays the teacher's commands
    // through Play (OnPlay) and never calls PlayAd, so it gets none.
    void OnplayAd(qint32 id, const QString &FileName, qint16 FileType);
    void OnPlayInvalid(qint32 id);
    // A load ended; bOpened tells whether a course is now shown.
    void CourseFileLoaded(bool bOpened);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<class ManagePrivate> const d;
    friend class ManagePrivate;
};
