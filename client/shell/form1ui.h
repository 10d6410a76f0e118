#pragma once

#include <QPointer>

class QLabel;
class QLineEdit;
class QMainWindow;
class QProgressBar;
class QPushButton;
class QWidget;
class Manage;
class NotesManage;
class ToolBar;
class UserList;
class VolumeControl;
class WhiteBoardOLE;
class WhiteBoardSign;
class StatusPanels;

// The widgets of the main window, placed on its fixed 792 x 554 client area.
// All are children of the window; the struct only points at them.
class TalkIndicator;

struct Form1Ui {
    QWidget *central = nullptr;
    // The whiteboard picture box; the presentation and the drawing layer lie
    // on its rectangle, the layer on top.
    QWidget *WhiteBoard = nullptr;
    WhiteBoardOLE *WhiteBoardOLE1 = nullptr;
    WhiteBoardSign *WhiteBoardSign1 = nullptr;
    // The frame that holds the whiteboard tools.
    QWidget *Frame3 = nullptr;
    ToolBar *WhiteBoardToolBar = nullptr;
    Manage *CourseManage = nullptr;
    UserList *ListViewUserList = nullptr;
    NotesManage *NotesManage1 = nullptr;
    VolumeControl *VolumeControl1 = nullptr;
    QLineEdit *TxtCourseName = nullptr;
    QLineEdit *TxtTeacherName = nullptr;
    QPushButton *cmdRaiseHand = nullptr;
    QPushButton *cmdSendNotes = nullptr;
    QPushButton *cmdDownload = nullptr;
    QPushButton *cmdSendMail = nullptr;
    QLabel *picLogo = nullptr;
    QLabel *lblWebLink = nullptr;
    StatusPanels *StatusBar = nullptr;
    QProgressBar *SoundBar = nullptr;
    TalkIndicator *talkIndicator = nullptr;
};

// Client area of the main window in pixels.
inline constexpr int Form1InnerWidth = 792;
inline constexpr int Form1InnerHeight = 554;

// Builds the widgets of `window` (its central widget and status bar).
Form1Ui BuildForm1Ui(QMainWindow *window);

// Places the controls over the whiteboard's rectangle, the play area of the
// presentation, the level bar beside status panel 3 and the logo at the right.
void PlaceForm1Controls(Form1Ui &ui, int windowWidth);
