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

#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>

#include <algorithm>
#include <vector>

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
constexpr int kMinimumClientWidth = 640;
constexpr int kMinimumClientHeight = 400;

// The hosted controls lay out their buttons at their natural width; the
// style's minimum button width would push them out of these columns. A
// style of their own rather than a style sheet on the controls: a sheet set
// on built controls restyles every widget inside them, on the way to the
// first paint.
class CompactButtonStyle : public QProxyStyle
{
public:
    CompactButtonStyle()
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    { }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
        const QWidget *widget) const override
    {
        if (type != CT_PushButton)
            return QProxyStyle::sizeFromContents(type, option, size, widget);
        // The label with 8 pixels either side and 3 above and below, inside
        // the frame.
        const int frame = pixelMetric(PM_DefaultFrameWidth, option, widget);
        return size + QSize(2 * (8 + frame), 2 * (3 + frame));
    }
};

void UseCompactButtons(QWidget *host)
{
    // One for the run; widgets do not own the style they are given.
    static QPointer<CompactButtonStyle> style;
    if (!style) {
        style = new CompactButtonStyle;
        style->setParent(QCoreApplication::instance());
    }
    for (QPushButton *button : host->findChildren<QPushButton *>())
        button->setStyle(style);
}

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
    UseCompactButtons(ui.CourseManage);
    ui.ListViewUserList = new UserList(c);
    ui.ListViewUserList->setObjectName(QStringLiteral("ListViewUserList"));

    auto *board = new QFrame(c);
    board->setObjectName(QStringLiteral("WhiteBoard"));
    board->setFrameShape(QFrame::StyledPanel);
    // The ground of a text field: white in a light theme, dark in a dark
    // one, following the palette when it changes.
    board->setBackgroundRole(QPalette::Base);
    board->setAutoFillBackground(true);
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
    UseCompactButtons(ui.NotesManage1);
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

QSize Form1MinimumClientSize(const Form1Ui &ui)
{
    // The drawing tools lie in one row along the bottom; below this the
    // window fits a 1366 x 768 screen and, at scale 2, a 1000-pixel-high
    // one, with the tools, the status bar and every button in view.
    const int tools = ui.WhiteBoardToolBar->minimumSizeHint().width() + 2 * kMargin + 4;
    return {std::max(kMinimumClientWidth, tools), kMinimumClientHeight};
}

namespace {

// The buttons and the link below the notes, placed left to right in rows
// that wrap where the next one does not fit: a longer caption (English)
// takes another row rather than being cut. Answers the rows' top.
int PlaceButtonRows(const Form1Ui &ui, int left, int width, int bottom)
{
    struct Item {
        QWidget *widget;
        int width;
    };
    const int half = (width - kMargin) / 2;
    const auto natural
        = [](QWidget *w, int least) { return std::max(least, w->sizeHint().width()); };
    const std::vector<Item> items{
        {ui.cmdRaiseHand, natural(ui.cmdRaiseHand, half)},
        {ui.cmdSendNotes, natural(ui.cmdSendNotes, half)},
        {ui.cmdDownload, natural(ui.cmdDownload, half)},
        {ui.cmdSendMail, kButtonHeight},
        {ui.lblWebLink, natural(ui.lblWebLink, 0)},
    };
    std::vector<std::vector<Item>> rows(1);
    int used = 0;
    for (const Item &item : items) {
        const int need = (rows.back().empty() ? 0 : kMargin) + std::min(item.width, width);
        if (!rows.back().empty() && used + need > width) {
            rows.emplace_back();
            used = 0;
        }
        used += (rows.back().empty() ? 0 : kMargin) + std::min(item.width, width);
        rows.back().push_back({item.widget, std::min(item.width, width)});
    }
    int y = bottom - int(rows.size()) * (kButtonHeight + kMargin) + kMargin;
    const int top = y;
    for (const auto &row : rows) {
        int x = left;
        for (const Item &item : row) {
            // The link takes what is left of its row.
            const int w = item.widget == ui.lblWebLink ? std::max(item.width, left + width - x)
                                                       : item.width;
            item.widget->setGeometry(x, y, w, kButtonHeight);
            x += w + kMargin;
        }
        y += kButtonHeight + kMargin;
    }
    return top;
}

} // namespace

void PlaceForm1Controls(Form1Ui &ui, int windowWidth)
{
    Q_UNUSED(windowWidth); // the logo lies at the right end of the toolbar
    QWidget *c = ui.central;
    const int w = c->width();
    const int h = c->height();
    // The drawing tools along the bottom; the three columns above them.
    const int frame3Top = h - kMargin - kFrame3Height;
    const int bottom = frame3Top - kMargin;

    // Left column: course and teacher, the course tree, the roster.
    auto *courseLabel
        = c->findChild<QLabel *>(QStringLiteral("lblCourse"), Qt::FindDirectChildrenOnly);
    auto *teacherLabel
        = c->findChild<QLabel *>(QStringLiteral("lblTeacher"), Qt::FindDirectChildrenOnly);
    const int labelWidth = std::max({36, courseLabel ? courseLabel->sizeHint().width() : 0,
        teacherLabel ? teacherLabel->sizeHint().width() : 0});
    int y = kMargin;
    for (auto [label, field] :
        {std::pair{courseLabel, ui.TxtCourseName}, std::pair{teacherLabel, ui.TxtTeacherName}}) {
        if (label)
            label->setGeometry(kMargin, y, labelWidth, kFieldHeight);
        field->setGeometry(kMargin + labelWidth + 2, y, kLeftWidth - labelWidth - 2, kFieldHeight);
        y += kFieldHeight + kMargin;
    }
    const int treeHeight = (bottom - y) * 2 / 5;
    ui.CourseManage->setGeometry(kMargin, y, kLeftWidth, treeHeight);
    y += treeHeight + kMargin;
    ui.ListViewUserList->setGeometry(kMargin, y, kLeftWidth, bottom - y);

    // Centre: the whiteboard keeps the proportions of its design size and
    // grows by one factor, so the presentation under it and the signs over
    // it stay in register; the right column takes the width it leaves.
    const int centerLeft = kMargin + kLeftWidth + kMargin;
    const int frame = ui.WhiteBoard->contentsRect().isValid()
        ? ui.WhiteBoard->frameGeometry().width() - ui.WhiteBoard->contentsRect().width()
        : 2;
    const int availableWidth
        = std::max(1, w - centerLeft - kMargin - kRightWidth - kMargin - frame);
    const int availableHeight = std::max(1, bottom - kMargin - frame);
    const qreal zoom = std::min(qreal(availableWidth) / Form1BoardDesignSize.width(),
        qreal(availableHeight) / Form1BoardDesignSize.height());
    const QSize inner(
        qRound(Form1BoardDesignSize.width() * zoom), qRound(Form1BoardDesignSize.height() * zoom));
    // At the top of its column: a window taller than the board's shape
    // leaves the room below it, where the answer bar's row also lies.
    const QRect board(centerLeft, kMargin, inner.width() + frame, inner.height() + frame);
    ui.WhiteBoard->setGeometry(board);
    const QRect area = ui.WhiteBoard->contentsRect().translated(board.topLeft());
    ui.WhiteBoardOLE1->setGeometry(area);
    ui.WhiteBoardSign1->setGeometry(area);
    ui.WhiteBoardSign1->setZoom(zoom);
    ui.WhiteBoardOLE1->setZoom(zoom);
    ui.WhiteBoardOLE1->setAreaStartPosX(QStringLiteral("0"));
    ui.WhiteBoardOLE1->setAreaStartPosY(QStringLiteral("0"));
    ui.WhiteBoardOLE1->setAreaEndPosX(QString::number(area.width()));
    ui.WhiteBoardOLE1->setAreaEndPosY(QString::number(area.height()));
    ui.WhiteBoard->lower();
    ui.WhiteBoardOLE1->raise();
    ui.WhiteBoardSign1->raise();
    ui.Frame3->setGeometry(kMargin, frame3Top, w - 2 * kMargin, kFrame3Height);
    ui.WhiteBoardToolBar->setGeometry(ui.Frame3->contentsRect());

    // Right column: notes, volume, the buttons, the web link.
    const int rightLeft = board.right() + 1 + kMargin;
    const int rightWidth = std::max(kRightWidth, w - kMargin - rightLeft);
    const int buttonsTop = PlaceButtonRows(ui, rightLeft, rightWidth, bottom);
    const int volumeTop = buttonsTop - kMargin - kVolumeHeight;
    // Who hears the student, just above the microphone button.
    const int indicatorTop = volumeTop - kMargin - kFieldHeight;
    ui.NotesManage1->setGeometry(rightLeft, kMargin, rightWidth, indicatorTop - 2 * kMargin);
    ui.talkIndicator->setGeometry(rightLeft, indicatorTop, rightWidth, kFieldHeight);
    ui.VolumeControl1->setGeometry(rightLeft, volumeTop, rightWidth, kVolumeHeight);
}
