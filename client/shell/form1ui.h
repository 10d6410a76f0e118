#pragma once

#include <QPointer>
#include <QSize>

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

// The widgets of the main window, placed on its client area (792 x 554 when
// it opens; it may be resized and maximised).
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

// Client area of the main window in pixels when it opens.
inline constexpr int Form1InnerWidth = 792;
inline constexpr int Form1InnerHeight = 554;
// The whiteboard's size at that client area: the twips of the board (its
// signs, the pointer, the mouse sent to the layer) count 15 to a pixel of
// this size, whatever size the board is shown at.
inline constexpr QSize Form1BoardDesignSize(386, 447);

// Builds the widgets of `window` (its central widget and status bar).
Form1Ui BuildForm1Ui(QMainWindow *window);

// Places the controls on the client area as it is now: the whiteboard with
// the presentation and the drawing layer over its rectangle (zoomed from
// Form1BoardDesignSize), the columns beside it, the tools along the bottom.
void PlaceForm1Controls(Form1Ui &ui, int windowWidth);
// The smallest client area (below the menu bar) on which every control
// stays in view.
QSize Form1MinimumClientSize(const Form1Ui &ui);
