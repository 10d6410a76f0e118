#pragma once

#include "client/classroom/frmvizerazav.h"
#include "client/shell/form1ui.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class clsRemoteSync;
class SessionState;
class FrmInput;
class FrmNotes;
class FrmStatus;
class frmOptions;
class SoundDevices;
class frmAbout;
struct Form1Menus;

namespace Global {
class Prompter;
}
namespace Classroom {
class frmVizeRazav;
}

// The main window: owner of the one protocol object, the session state, the
// seven hosted controls, the dialogs and the units that give them their
// behaviour. It holds no behaviour of the classroom or the campus itself:
// the units connect to the protocol events and to the accessors below, and
// the wiring file ties them together.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(Global::Prompter &prompter, QWidget *parent = nullptr);
    ~Form1() override;

    // The start-up steps: companion program, state and controls reset,
    // status bar, show, settings, course folder, first run. Emits loaded().
    void Load();
    // The tear-down steps (also run by closing the window): the volume hook
    // removed, the closing flag set, the other windows closed, the settings
    // written back. Runs once.
    void Unload();
    // The companion downloader started by Load(); by default "castagent"
    // beside the program.
    void setCompanionProgram(const QString &path) { m_companionProgram = path; }

    clsRemoteSync &RemoteSync() { return *m_remoteSync; }
    SessionState &session() { return *m_session; }
    Global::Prompter &prompter() { return m_prompter; }

    // The hosted controls and the main window's own widgets.
    const Form1Ui &ui() const { return m_ui; }
    Manage *CourseManage() const { return m_ui.CourseManage; }
    UserList *ListViewUserList() const { return m_ui.ListViewUserList; }
    WhiteBoardSign *whiteBoardSign() const { return m_ui.WhiteBoardSign1; }
    WhiteBoardOLE *whiteBoardOLE() const { return m_ui.WhiteBoardOLE1; }
    ToolBar *WhiteBoardToolBar() const { return m_ui.WhiteBoardToolBar; }
    NotesManage *notesManage() const { return m_ui.NotesManage1; }
    VolumeControl *volumeControl() const { return m_ui.VolumeControl1; }
    // The whiteboard area; its geometry is final once Form1 is constructed.
    QWidget *WhiteBoard() const { return m_ui.WhiteBoard; }
    QWidget *Frame3() const { return m_ui.Frame3; }
    QLineEdit *TxtCourseName() const { return m_ui.TxtCourseName; }
    QLineEdit *TxtTeacherName() const { return m_ui.TxtTeacherName; }
    QPushButton *cmdRaiseHand() const { return m_ui.cmdRaiseHand; }
    QPushButton *cmdSendNotes() const { return m_ui.cmdSendNotes; }
    // "下载课件": re-download of the current course's courseware.
    QPushButton *cmdDownload() const { return m_ui.cmdDownload; }
    QPushButton *cmdSendMail() const { return m_ui.cmdSendMail; }
    // The send-mail button's default address.
    static constexpr const char *DefaultMailAddress = "mailto:";
    StatusPanels *StatusBar() const { return m_ui.StatusBar; }
    QProgressBar *SoundBar() const { return m_ui.SoundBar; }
    TalkIndicator *talkIndicator() const { return m_ui.talkIndicator; }

    // The hidden voice window, created (and the voice engine loaded) at the
    // first call, so a start without a class does not pay for the engine.
    Classroom::frmVizeRazav *voiceWindow();
    // The voice window if a class has made it, else null (stopping the
    // voice must not load the engine).
    Classroom::frmVizeRazav *existingVoiceWindow() const { return m_voiceWindow; }
    FrmInput *frmInput();
    FrmNotes *frmNotes();
    FrmStatus *frmStatus();

    // The options dialog, window-modal; optionsClosed() reports its end.
    void showOptions();
    // The sound server's devices and the student's choice, made at the
    // first need (the options, or a kept choice once the window shows).
    SoundDevices &soundDevices();
    bool hasSoundDevices() const { return m_soundDevices != nullptr; }
    void showAbout();

    bool isClosing() const { return m_closing; }
    // Parent of the units: destroyed before the controls they drive.
    QObject *unitOwner() const { return m_unitOwner; }

Q_SIGNALS:
    // Menu or toolbar commands handled by the units.
    void connectRequested();
    void disconnectRequested();
    void refreshRequested();
    void exportRequested();
    void helpRequested();
    void webLinkRequested();
    // The window came back from minimized (the whiteboard is redrawn).
    void restoredFromMinimized();
    void loaded();
    void unloading();
    void optionsClosed(bool saved);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void startCompanion();
    void ResetProgramState();
    // Shrinks (and moves) the window onto its screen's free area.
    void FitToScreen();
    void PrepareControls();

    Global::Prompter &m_prompter;
    std::unique_ptr<clsRemoteSync> m_remoteSync;
    SessionState *m_session = nullptr;
    Form1Ui m_ui;
    std::unique_ptr<Form1Menus> m_menus;
    QObject *m_unitOwner = nullptr;
    QPointer<Classroom::frmVizeRazav> m_voiceWindow;
    QPointer<FrmInput> m_frmInput;
    QPointer<FrmNotes> m_frmNotes;
    QPointer<FrmStatus> m_frmStatus;
    QPointer<frmOptions> m_frmOptions;
    SoundDevices *m_soundDevices = nullptr;
    QPointer<frmAbout> m_frmAbout;
    QString m_companionProgram;
    int m_windowState = 0; // 0 normal, 1 minimized
    bool m_closing = false;
    bool m_unloaded = false;
};
