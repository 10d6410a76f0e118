#include "client/shell/form1ui.h"

#include "client/shell/shellpictures.h"
#include "client/shell/statuspanels.h"
#include "client/shell/talkindicator.h"
#include "controls/coursemanage/manage.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/toolbar/toolbar.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "controls/whiteboardole/whiteboardole.h"
#include "controls/whiteboardsign/whiteboardsign.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>

namespace {

// Column widths of the fixed layout, in pixels: the drawing tools need the
// whole width of the window in one row, so they lie along the bottom.
constexpr int kMargin = 4;
constexpr int kLeftWidth = 176;
constexpr int kRightWidth = 212;
constexpr int kFieldHeight = 22;
constexpr int kFrame3Height = 36;
constexpr int kButtonHeight = 28;
constexpr int kVolumeHeight = 64;
constexpr int kLevelBarWidth = 120;

// The hosted controls lay out their buttons at their natural width; the
// style's minimum button width would push them out of these columns.
constexpr auto kCompactButtons = "QPushButton { padding: 3px 8px; }";

QLineEdit *ReadOnlyField(QWidget *parent, const QString &name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    return field;
}

} // namespace

Form1Ui BuildForm1Ui(QMainWindow *window)
{
    Form1Ui ui;
    ui.central = new QWidget(window);
    ui.central->setObjectName(QStringLiteral("central"));
    window->setCentralWidget(ui.central);
    QWidget *c = ui.central;

    auto *courseLabel = new QLabel(QCoreApplication::translate("Form1", "课程:"), c);
    courseLabel->setObjectName(QStringLiteral("lblCourse"));
    auto *teacherLabel = new QLabel(QCoreApplication::translate("Form1", "教师:"), c);
    teacherLabel->setObjectName(QStringLiteral("lblTeacher"));
    ui.TxtCourseName = ReadOnlyField(c, QStringLiteral("TxtCourseName"));
    ui.TxtTeacherName = ReadOnlyField(c, QStringLiteral("TxtTeacherName"));
    courseLabel->setBuddy(ui.TxtCourseName);
    teacherLabel->setBuddy(ui.TxtTeacherName);

    ui.CourseManage = new Manage(c);
    ui.CourseManage->setObjectName(QStringLiteral("CourseManage"));
    ui.CourseManage->setStyleSheet(QLatin1String(kCompactButtons));
    ui.ListViewUserList = new UserList(c);
    ui.ListViewUserList->setObjectName(QStringLiteral("ListViewUserList"));

    auto *board = new QFrame(c);
    board->setObjectName(QStringLiteral("WhiteBoard"));
    board->setFrameShape(QFrame::StyledPanel);
    board->setAutoFillBackground(true);
    QPalette palette = board->palette();
    palette.setColor(QPalette::Window, Qt::white);
    board->setPalette(palette);
    board->setMouseTracking(true);
    ui.WhiteBoard = board;
    ui.WhiteBoardOLE1 = new WhiteBoardOLE(c);
    ui.WhiteBoardOLE1->setObjectName(QStringLiteral("WhiteBoardOLE1"));
    ui.WhiteBoardOLE1->setMouseTracking(true);
    ui.WhiteBoardSign1 = new WhiteBoardSign(c);
    ui.WhiteBoardSign1->setObjectName(QStringLiteral("WhiteBoardSign1"));
    // The main window passes its mouse to the layer (in twips).
    ui.WhiteBoardSign1->setHandlesOwnMouse(false);

    auto *frame3 = new QFrame(c);
    frame3->setObjectName(QStringLiteral("Frame3"));
    frame3->setFrameShape(QFrame::StyledPanel);
    ui.Frame3 = frame3;
    ui.WhiteBoardToolBar = new ToolBar(frame3);
    ui.WhiteBoardToolBar->setObjectName(QStringLiteral("WhiteBoardToolBar"));

    ui.NotesManage1 = new NotesManage(c);
    ui.NotesManage1->setObjectName(QStringLiteral("NotesManage1"));
    ui.NotesManage1->setStyleSheet(QLatin1String(kCompactButtons));
    ui.VolumeControl1 = new VolumeControl(c);
    ui.VolumeControl1->setObjectName(QStringLiteral("VolumeControl1"));

    ui.talkIndicator = new TalkIndicator(c);
    ui.cmdRaiseHand = new QPushButton(QCoreApplication::translate("Form1", "举手"), c);
    ui.cmdRaiseHand->setObjectName(QStringLiteral("cmdRaiseHand"));
    ui.cmdSendNotes = new QPushButton(QCoreApplication::translate("Form1", "发消息"), c);
    ui.cmdSendNotes->setObjectName(QStringLiteral("cmdSendNotes"));
    ui.cmdDownload = new QPushButton(QCoreApplication::translate("Form1", "下载课件"), c);
    ui.cmdDownload->setObjectName(QStringLiteral("cmdDownload"));
    ui.cmdSendMail = new QPushButton(c);
    ui.cmdSendMail->setObjectName(QStringLiteral("cmdSendMail"));
    ui.cmdSendMail->setToolTip(QCoreApplication::translate("Form1", "发邮件"));
    ui.cmdSendMail->setAccessibleName(QCoreApplication::translate("Form1", "发邮件"));

    ui.StatusBar = new StatusPanels(window);
    window->setStatusBar(ui.StatusBar);
    // The level bar sits in status panel 3, after its picture.
    ui.SoundBar = new QProgressBar(ui.StatusBar);
    ui.SoundBar->setObjectName(QStringLiteral("SoundBar"));
    ui.SoundBar->setFixedSize(kLevelBarWidth, 12);
    ui.StatusBar->addToPanel(3, ui.SoundBar);
    ui.SoundBar->setRange(0, 100);
    ui.SoundBar->setValue(0);
    ui.SoundBar->setTextVisible(false);
    ui.SoundBar->setAccessibleName(QCoreApplication::translate("Form1", "音量"));

    ui.picLogo = new QLabel(window);
    ui.picLogo->setObjectName(QStringLiteral("picLogo"));
    ui.picLogo->setCursor(Qt::PointingHandCursor);
    ui.picLogo->setToolTip(QCoreApplication::translate("Form1", "访问网站"));
    ui.lblWebLink = new QLabel(QCoreApplication::translate("Form1", "访问网站"), c);
    ui.lblWebLink->setObjectName(QStringLiteral("lblWebLink"));
    ui.lblWebLink->setCursor(Qt::PointingHandCursor);
    QFont linkFont = ui.lblWebLink->font();
    linkFont.setUnderline(true);
    ui.lblWebLink->setFont(linkFont);
    return ui;
}

void PlaceForm1Controls(Form1Ui &ui, int windowWidth)
{
    QWidget *c = ui.central;
    const int w = c->width();
    const int h = c->height();
    const int centerLeft = kMargin + kLeftWidth + kMargin;
    const int rightLeft = w - kMargin - kRightWidth;
    const int centerWidth = rightLeft - kMargin - centerLeft;
    // The drawing tools along the bottom; the three columns above them.
    const int frame3Top = h - kMargin - kFrame3Height;
    const int bottom = frame3Top - kMargin;

    // Left column: course and teacher, the course tree, the roster.
    int y = kMargin;
    const int labelWidth = 36;
    for (auto [label, field] : {std::pair{QStringLiteral("lblCourse"), ui.TxtCourseName},
             std::pair{QStringLiteral("lblTeacher"), ui.TxtTeacherName}}) {
        if (auto *l = c->findChild<QLabel *>(label, Qt::FindDirectChildrenOnly))
            l->setGeometry(kMargin, y, labelWidth, kFieldHeight);
        field->setGeometry(kMargin + labelWidth, y, kLeftWidth - labelWidth, kFieldHeight);
        y += kFieldHeight + kMargin;
    }
    const int treeHeight = (bottom - y) * 2 / 5;
    ui.CourseManage->setGeometry(kMargin, y, kLeftWidth, treeHeight);
    y += treeHeight + kMargin;
    ui.ListViewUserList->setGeometry(kMargin, y, kLeftWidth, bottom - y);

    // Centre: the whiteboard with the presentation and the drawing layer
    // stacked on its rectangle.
    const QRect board(centerLeft, kMargin, centerWidth, bottom - kMargin);
    ui.WhiteBoard->setGeometry(board);
    const QRect inner = ui.WhiteBoard->contentsRect().translated(board.topLeft());
    ui.WhiteBoardOLE1->setGeometry(inner);
    ui.WhiteBoardSign1->setGeometry(inner);
    ui.WhiteBoardOLE1->setAreaStartPosX(QStringLiteral("0"));
    ui.WhiteBoardOLE1->setAreaStartPosY(QStringLiteral("0"));
    ui.WhiteBoardOLE1->setAreaEndPosX(QString::number(inner.width()));
    ui.WhiteBoardOLE1->setAreaEndPosY(QString::number(inner.height()));
    ui.WhiteBoard->lower();
    ui.WhiteBoardOLE1->raise();
    ui.WhiteBoardSign1->raise();
    ui.Frame3->setGeometry(kMargin, frame3Top, w - 2 * kMargin, kFrame3Height);
    ui.WhiteBoardToolBar->setGeometry(ui.Frame3->contentsRect());

    // Right column: notes, volume, the buttons, the web link.
    const int secondRow = bottom - kButtonHeight;
    const int buttonsTop = secondRow - kMargin - kButtonHeight;
    const int volumeTop = buttonsTop - kMargin - kVolumeHeight;
    // Who hears the student, just above the microphone button.
    const int indicatorTop = volumeTop - kMargin - kFieldHeight;
    ui.NotesManage1->setGeometry(rightLeft, kMargin, kRightWidth, indicatorTop - 2 * kMargin);
    ui.talkIndicator->setGeometry(rightLeft, indicatorTop, kRightWidth, kFieldHeight);
    ui.VolumeControl1->setGeometry(rightLeft, volumeTop, kRightWidth, kVolumeHeight);
    const int half = (kRightWidth - kMargin) / 2;
    ui.cmdRaiseHand->setGeometry(rightLeft, buttonsTop, half, kButtonHeight);
    ui.cmdSendNotes->setGeometry(rightLeft + half + kMargin, buttonsTop, half, kButtonHeight);
    ui.cmdDownload->setGeometry(rightLeft, secondRow, half, kButtonHeight);
    ui.cmdSendMail->setGeometry(
        rightLeft + half + kMargin, secondRow, kButtonHeight, kButtonHeight);
    const int linkLeft = rightLeft + half + 2 * kMargin + kButtonHeight;
    ui.lblWebLink->setGeometry(linkLeft, secondRow, w - linkLeft - kMargin, kButtonHeight);
    // The logo lies at the right end of the toolbar.
    Q_UNUSED(windowWidth);
}
