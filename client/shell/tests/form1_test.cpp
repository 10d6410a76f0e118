// The main window as the program shows it: start-up and tear-down, the
// fixed layout, the options dialog.
#include "client/campus/frmclasslist.h"
#include "client/campus/frmlogin.h"
#include "client/classroom/live/answerbar.h"
#include "client/session/sessionstate.h"
#include "client/shell/form1.h"
#include "client/shell/frmoptions.h"
#include "client/shell/statuspanels.h"
#include "common/apppaths.h"
#include "common/desktop/translations.h"
#include "common/prompter.h"
#include "common/settingsstore.h"
#include "common/testsupport/testhome.h"
#include "controls/coursemanage/manage.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "controls/whiteboardole/whiteboardole.h"
#include "controls/whiteboardsign/whiteboardsign.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

QString CompanionMissingText()
{
    return QStringLiteral("指定文件:castagent.exe,没有找到！");
}

// A form whose companion program is surely missing.
std::unique_ptr<Form1> MakeForm(Global::Prompter &prompter)
{
    auto form = std::make_unique<Form1>(prompter);
    form->setCompanionProgram(QDir::tempPath() + QStringLiteral("/lumo-missing-castagent"));
    return form;
}

frmOptions *OptionsDialog(Form1 &form)
{
    return form.findChild<frmOptions *>(QStringLiteral("frmOptions"));
}

} // namespace

TEST(Form1Test, StartUpRunsItsStepsAndFirstRunShowsOptionsOnce)
{
    TestHome home;
    Global::WriteFirstRun(QStringLiteral(" True "));
    Global::ScriptedPrompter prompter;
    {
        auto owned = MakeForm(prompter);
        Form1 &form = *owned;
        form.Load();
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("1.3.2")));
        // The companion program is not beside the test: one message, and
        // start-up went on.
        ASSERT_EQ(prompter.shown.size(), 1);
        EXPECT_EQ(prompter.shown.first().text, CompanionMissingText());
        EXPECT_EQ(form.StatusBar()->panelText(1), QStringLiteral("断开"));
        EXPECT_EQ(form.StatusBar()->panelText(2), QStringLiteral("空闲"));
        EXPECT_EQ(form.StatusBar()->panelPicture(1), 2);
        // Defaults held for the run; the course folder made; SavePath ends
        // with the separator.
        EXPECT_EQ(form.session().Options.CampusServerPort, QStringLiteral("2000"));
        EXPECT_EQ(form.session().Options.gChatPort, QStringLiteral("2001"));
        EXPECT_TRUE(QDir(Global::CourseFolder()).exists());
        const QString savePath = Global::GetSetting(
            Global::StudentAppName, QStringLiteral("Http"), QStringLiteral("SavePath"));
        EXPECT_EQ(savePath, Global::CourseFolder());
        EXPECT_TRUE(savePath.endsWith(u'/'));
        // First run: the dialog is up, and the value reads False.
        ASSERT_NE(OptionsDialog(form), nullptr);
        EXPECT_TRUE(OptionsDialog(form)->isVisible());
        EXPECT_EQ(Global::ReadFirstRun(), QStringLiteral("False"));
        OptionsDialog(form)->reject();
    }
    // A later start: a moved course folder is written again, and a
    // companion that is there is started (off this thread) without a word.
    Global::SaveCoursePath(QDir::tempPath(), Global::StudentAppName);
    const QString companion = QDir(home.path()).filePath(u"castagent"_s);
    {
        QFile script(companion);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho started > started.txt\n");
    }
    QFile::setPermissions(companion, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto again = MakeForm(prompter);
    again->setCompanionProgram(companion);
    again->Load();
    EXPECT_EQ(OptionsDialog(*again), nullptr);
    EXPECT_EQ(Global::GetSetting(
                  Global::StudentAppName, QStringLiteral("Http"), QStringLiteral("SavePath")),
        Global::CourseFolder());
    const QString started = QDir(home.path()).filePath(u"started.txt"_s);
    EXPECT_TRUE(QTest::qWaitFor([&started] { return QFile::exists(started); }, 10000));
    EXPECT_EQ(prompter.shown.size(), 1);
}

TEST(Form1Test, SettingsAreHeldForTheRunAndWrittenBackAtTheEnd)
{
    TestHome home;
    Global::SaveServerSettings(Global::StudentAppName,
        {QStringLiteral("10.1.2.3"), QStringLiteral("3000"), QStringLiteral("3001")});
    Global::ScriptedPrompter prompter;
    auto form = MakeForm(prompter);
    form->Load();
    EXPECT_EQ(form->session().Options.CampusServerIP, QStringLiteral("10.1.2.3"));
    // Changed behind the program's back: the held value wins at the end.
    Global::SaveSetting(Global::StudentAppName, QStringLiteral("Options"),
        QStringLiteral("CampusServerPort"), QStringLiteral("4444"));
    form->session().Options.gChatPort = QStringLiteral("3999");
    form->close();
    EXPECT_TRUE(form->isClosing());
    const Global::ServerSettings stored = Global::LoadServerSettings(Global::StudentAppName);
    EXPECT_EQ(stored.CampusServerPort, QStringLiteral("3000"));
    EXPECT_EQ(stored.gChatPort, QStringLiteral("3999"));
    // The detached notes window only hid while the program ran; at the end
    // the other windows are closed.
    form.reset();
}

namespace {

// Every control in view and in its place, at the window's present size.
void CheckWindowLayout(Form1 &form, const char *when)
{
    SCOPED_TRACE(when);
    QWidget *central = form.ui().central;
    // The presentation and the layer lie exactly on the board's inner
    // rectangle, the layer on top, and the play area matches its size.
    const QRect inner = form.WhiteBoard()->contentsRect().translated(form.WhiteBoard()->pos());
    EXPECT_EQ(form.whiteBoardSign()->geometry(), inner);
    EXPECT_EQ(form.whiteBoardOLE()->geometry(), inner);
    EXPECT_EQ(form.whiteBoardOLE()->AreaEndPosX(), QString::number(inner.width()));
    EXPECT_EQ(form.whiteBoardOLE()->AreaEndPosY(), QString::number(inner.height()));
    // One factor for both directions: the board keeps its proportions.
    const qreal zoom = form.whiteBoardSign()->zoom();
    EXPECT_NEAR(inner.width(), Form1BoardDesignSize.width() * zoom, 1.0);
    EXPECT_NEAR(inner.height(), Form1BoardDesignSize.height() * zoom, 1.0);
    const QObjectList siblings = central->children();
    EXPECT_GT(siblings.indexOf(form.whiteBoardSign()), siblings.indexOf(form.whiteBoardOLE()));
    // Every control inside the client area, none over another, no
    // caption cut (the English ones are the longest).
    const QList<QWidget *> children = central->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (!child->isVisibleTo(&form))
            continue;
        EXPECT_TRUE(central->rect().contains(child->geometry()))
            << child->objectName().toStdString();
        if (auto *button = qobject_cast<QPushButton *>(child)) {
            EXPECT_GE(button->width(), button->sizeHint().width())
                << child->objectName().toStdString();
        }
        if (auto *label = qobject_cast<QLabel *>(child)) {
            EXPECT_GE(label->width(), label->sizeHint().width())
                << child->objectName().toStdString();
        }
        for (QWidget *other : children) {
            const bool stacked = child == form.WhiteBoard() || other == form.WhiteBoard()
                || child == form.whiteBoardOLE() || child == form.whiteBoardSign();
            if (other != child && !stacked && other->isVisibleTo(&form)) {
                EXPECT_FALSE(child->geometry().intersects(other->geometry()))
                    << child->objectName().toStdString() << " / "
                    << other->objectName().toStdString();
            }
        }
    }
    // The hosted controls' own buttons fit in the columns given to them,
    // and the notes' send box holds a line of text.
    for (QWidget *control :
        {static_cast<QWidget *>(form.CourseManage()), static_cast<QWidget *>(form.notesManage())}) {
        for (QPushButton *button : control->findChildren<QPushButton *>()) {
            EXPECT_TRUE(control->rect().contains(button->geometry()))
                << button->text().toStdString();
        }
    }
    // The status panels' texts are not cut either.
    for (int panel = 1; panel <= StatusPanels::PanelCount; ++panel) {
        auto *text = form.StatusBar()->findChild<QLabel *>(u"StatusPanel%1"_s.arg(panel));
        ASSERT_NE(text, nullptr);
        EXPECT_GE(text->width(), text->sizeHint().width()) << text->text().toStdString();
    }
    auto *sendBox = form.notesManage()->findChild<QLineEdit *>(u"txtSend"_s);
    ASSERT_NE(sendBox, nullptr);
    EXPECT_GE(
        sendBox->width(), sendBox->fontMetrics().horizontalAdvance(u"一行短消息：十二个字"_s));
}

// Opening size, grown, maximised, smallest.
void ResizeAndCheck(Form1 &form)
{
    // The wiring places its widgets against the board before the window
    // is shown: the rectangle is final from construction on.
    const QRect boardBeforeShow = form.WhiteBoard()->geometry();
    EXPECT_GT(boardBeforeShow.width(), 300);
    form.Load();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // The longest text panel 1 shows, while a lost class comes back.
    form.StatusBar()->setPanelText(1, u"连接中断，正在重新连接… 12 分 30 秒"_s);
    const int menu = form.menuWidget()->height();
    // The opening size, unless the screen is smaller (the offscreen
    // platform's is 800 x 600): then the window fits on it.
    const QSize room = form.screen()->availableGeometry().size() - QSize(16, 40);
    EXPECT_EQ(form.width(), std::min(Form1InnerWidth, room.width()));
    EXPECT_EQ(form.height(), std::min(Form1InnerHeight + menu, room.height()));
    if (room.width() >= Form1InnerWidth && room.height() >= Form1InnerHeight + menu) {
        EXPECT_EQ(form.WhiteBoard()->geometry(), boardBeforeShow);
    }
    // Small enough for a 1366 x 768 screen, and for a 1000-pixel-high one
    // at scale 2 (500 pixels less a title bar and a panel).
    EXPECT_LE(form.minimumWidth(), 700);
    EXPECT_LE(form.minimumHeight(), 440);
    CheckWindowLayout(form, "opening size");

    // Grown: the board and the notes take the room.
    const int notesWidth = form.notesManage()->width();
    form.resize(1400, 900);
    ASSERT_TRUE(QTest::qWaitFor([&form] { return form.width() == 1400; }, 2000));
    EXPECT_GT(form.whiteBoardSign()->zoom(), 1.4);
    EXPECT_GT(form.notesManage()->width(), notesWidth);
    CheckWindowLayout(form, "grown");
    form.showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&form] { return form.isMaximized(); }, 2000));
    CheckWindowLayout(form, "maximised");
    form.showNormal();
    form.resize(form.minimumSize());
    ASSERT_TRUE(QTest::qWaitFor([&form] { return form.size() == form.minimumSize(); }, 2000));
    CheckWindowLayout(form, "smallest");
}

} // namespace

TEST(Form1Test, OpensAtItsSizeResizesAndKeepsEveryControlInView)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    Global::WriteFirstRun(u"False"_s);
    {
        auto form = MakeForm(prompter);
        ResizeAndCheck(*form);
    }
    // English captions are longer: they take another row, never get cut.
    ASSERT_FALSE(Global::InstallTranslators(QLocale(u"en_GB"_s)).isEmpty());
    {
        auto form = MakeForm(prompter);
        EXPECT_EQ(form->cmdDownload()->text(), u"Download Courseware"_s);
        ResizeAndCheck(*form);
    }
    Global::RemoveTranslators();
}

// The login dialog opens over the middle of the main window; in a dark
// theme the whiteboard's ground is dark, not white.
TEST(Form1Test, LoginOverTheWindowAndBoardFollowsTheTheme)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    Global::WriteFirstRun(u"False"_s);
    auto owned = MakeForm(prompter);
    Form1 &form = *owned;
    form.Load();
    form.move(300, 200);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    frmLogin login(prompter, &form);
    login.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&login));
    const QPoint offset = login.frameGeometry().center() - form.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
    login.reject();

    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    // The change reaches the widgets through posted events.
    EXPECT_TRUE(QTest::qWaitFor(
        [&form] { return form.WhiteBoard()->palette().color(QPalette::Base).lightness() < 64; },
        2000));
    const QImage board = form.ui().central->grab(form.WhiteBoard()->geometry()).toImage();
    QApplication::setPalette(saved);
    // Away from the frame and the placeholder text in the middle.
    for (const QPoint p : {QPoint(10, 10), QPoint(board.width() - 10, board.height() - 10)})
        EXPECT_LT(qGray(board.pixel(p)), 64) << p.x() << "," << p.y();
}

// The loudspeaker slider where the student finds it: a drag of its handle
// with the mouse sets the level (loudest at the right end).
TEST(Form1Test, VolumeSliderDragsInTheWindow)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    Global::WriteFirstRun(u"False"_s);
    auto owned = MakeForm(prompter);
    Form1 &form = *owned;
    form.Load();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QSlider *slider = form.volumeControl()->Ctr_Speaker();
    if (!QTest::qWaitFor([slider] { return slider->isEnabled(); }, 5000))
        GTEST_SKIP() << "no sound server (run the tests through scripts/test-env.sh)";
    slider->setValue(5);
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.tickPosition = slider->tickPosition();
    const QRect handle = slider->style()->subControlRect(
        QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    // A track to drag along, not a sliver.
    ASSERT_GE(slider->width(), 80);
    ASSERT_GE(slider->height(), handle.height());
    const QPoint from = handle.center();
    const QPoint to(slider->width() - 1, from.y());
    QTest::mousePress(slider, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 8; ++i)
        QTest::mouseMove(slider, from + (to - from) * i / 8);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
    EXPECT_EQ(slider->value(), 10);
}

namespace {

class SurfaceEvents : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::PlatformSurface ? 1 : 0;
        return false;
    }
};

} // namespace

// The first web page the teacher plays keeps the main window as it is:
// the same native window, no surface made anew, the same place.
TEST(Form1Test, FirstWebItemKeepsTheMainWindow)
{
    if (QGuiApplication::platformName() == u"offscreen"_s)
        GTEST_SKIP() << "the browser engine needs a display (QT_QPA_PLATFORM=xcb)";
    TestHome home;
    Global::ScriptedPrompter prompter;
    Global::WriteFirstRun(u"False"_s);
    auto owned = MakeForm(prompter);
    Form1 &form = *owned;
    form.Load();
    form.move(120, 80);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QDir().mkpath(Global::TempFolder());
    QFile page(Global::TempFolder() + u"welcome.html"_s);
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html><head><title>Welcome</title></head><body><h1>Hello</h1></body></html>");
    page.close();

    // Made ready as a class is entered, keeping its place.
    const QPoint atStart = form.pos();
    form.whiteBoardOLE()->prepareForWeb();
    QTest::qWait(500);
    EXPECT_EQ(form.pos(), atStart);

    const WId before = form.winId();
    const QPoint placed = form.pos();
    SurfaceEvents surface;
    form.windowHandle()->installEventFilter(&surface);
    WhiteBoardOLE *ole = form.whiteBoardOLE();
    ole->setFileType(u"2"_s);
    ole->setFileSource(page.fileName());
    ASSERT_TRUE(ole->Play_OLE()) << home.errorLog().toStdString();
    ASSERT_NE(ole->webView(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor(
        [ole] { return ole->webView()->property("title").toString() == u"Welcome"_s; }, 20000));
    EXPECT_EQ(form.winId(), before);
    EXPECT_EQ(surface.count, 0);
    EXPECT_EQ(form.pos(), placed);
}

// The teacher's rectangle drawn round a spot of the courseware picture
// stays round it whatever size the window is shown at.
TEST(Form1Test, BoardAndCoursewareScaleTogether)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    auto owned = MakeForm(prompter);
    Form1 &form = *owned;
    form.Load();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    // A page of another shape than the board (so it is letterboxed), with
    // a blue spot in it.
    QImage page(600, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    const QRect spot(400, 120, 40, 40);
    QPainter(&page).fillRect(spot, QColor(0, 0, 255));
    const QString file = home.path() + u"/page.png"_s;
    ASSERT_TRUE(page.save(file));
    WhiteBoardOLE *ole = form.whiteBoardOLE();
    ole->setFileType(u"1"_s);
    ole->setFileSource(file);
    ASSERT_TRUE(ole->Play_OLE()) << ole->ErrorText().toStdString();

    const auto boxOf = [](const QImage &image, auto matches) {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (matches(image.pixelColor(x, y)))
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    const auto isBlue
        = [](const QColor &c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; };
    const auto isRed
        = [](const QColor &c) { return c.red() > 200 && c.blue() < 60 && c.green() < 60; };
    const auto boardPicture = [&form] {
        QWidget *sign = form.whiteBoardSign();
        return form.ui().central->grab(sign->geometry()).toImage();
    };

    // The teacher draws in design pixels: 6 pixels round the spot as it
    // shows at the opening size.
    QImage shown = boardPicture();
    const qreal zoom1 = form.whiteBoardSign()->zoom();
    const QRect spot1 = boxOf(shown, isBlue);
    ASSERT_FALSE(spot1.isEmpty());
    const QRect design(qRound(spot1.x() / zoom1) - 6, qRound(spot1.y() / zoom1) - 6,
        qRound(spot1.width() / zoom1) + 12, qRound(spot1.height() / zoom1) + 12);
    WhiteBoardSign *sign = form.whiteBoardSign();
    sign->setShape(WhiteBoard::stRectangle);
    sign->setColor(0x0000FF); // red, as the wire gives colours
    sign->setLineWidth(2);
    sign->setStartPosX(qint16(design.left() * 15));
    sign->setStartPosY(qint16(design.top() * 15));
    sign->setEndPosX(qint16((design.right() + 1) * 15));
    sign->setEndPosY(qint16((design.bottom() + 1) * 15));
    sign->setIfDraw(true);
    ASSERT_TRUE(sign->AddNewSign());

    // The gaps between spot and rectangle (left, top, right, bottom) at the
    // opening size: 6 design pixels and the pen.
    struct Gaps {
        int left, top, right, bottom;
    };
    std::optional<Gaps> opening;
    const auto checkRegister = [&](const char *when) {
        SCOPED_TRACE(when);
        const qreal zoom = sign->zoom();
        QImage picture;
        QRect spotBox, mark;
        // The layer fills in within a few turns of the event loop.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                picture = boardPicture();
                spotBox = boxOf(picture, isBlue);
                mark = boxOf(picture, isRed);
                return !spotBox.isEmpty() && mark.contains(spotBox);
            },
            2000));
        const Gaps gaps{spotBox.left() - mark.left(), spotBox.top() - mark.top(),
            mark.right() - spotBox.right(), mark.bottom() - spotBox.bottom()};
        if (!opening) {
            for (int gap : {gaps.left, gaps.top, gaps.right, gaps.bottom}) {
                EXPECT_GE(gap, 6);
                EXPECT_LE(gap, 8);
            }
            opening = gaps;
        }
        // Spot and rectangle grow by the same factor: the gaps scale with
        // the board, a pixel or two of rounding aside.
        const qreal factor = zoom / zoom1;
        EXPECT_NEAR(gaps.left, opening->left * factor, 2.0);
        EXPECT_NEAR(gaps.top, opening->top * factor, 2.0);
        EXPECT_NEAR(gaps.right, opening->right * factor, 2.0);
        EXPECT_NEAR(gaps.bottom, opening->bottom * factor, 2.0);
        EXPECT_NEAR(spotBox.width(), spot1.width() * factor, 2.0);
        EXPECT_NEAR(spotBox.height(), spot1.height() * factor, 2.0);
    };
    checkRegister("opening size");
    form.resize(1500, 950);
    ASSERT_TRUE(QTest::qWaitFor([&form] { return form.width() == 1500; }, 2000));
    ASSERT_GT(sign->zoom(), 1.5);
    checkRegister("grown");
    form.resize(form.minimumSize());
    ASSERT_TRUE(QTest::qWaitFor([&form] { return form.size() == form.minimumSize(); }, 2000));
    ASSERT_LT(sign->zoom(), zoom1);
    checkRegister("smallest");
}

TEST(OptionsTest, PortRuleRows)
{
    struct Row {
        const char *text;
        bool valid;
    };
    const Row rows[] = {{"1023", false}, {"1024", true}, {"9999", true}, {"10000", false},
        {"-123", false}, {"12a4", false}, {"", false}, {" 2000 ", true}, {"+1234", false},
        {"0x10", false}, {"1e3", false}};
    for (const Row &row : rows)
        EXPECT_EQ(frmOptions::IsValidPort(QString::fromUtf8(row.text)), row.valid) << row.text;
}

TEST(OptionsTest, OkChecksThePortSavesAndCancelLeavesAll)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    Global::ServerSettings held{
        QStringLiteral("10.0.0.9"), QStringLiteral("2000"), QStringLiteral("2500")};
    QString webHost = QStringLiteral("127.0.0.1:8080");
    frmOptions dialog(held, webHost, prompter);
    dialog.open();
    // The held values, not a fixed host.
    EXPECT_EQ(dialog.txtServerIP()->text(), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(dialog.txtChatPort()->text(), QStringLiteral("2500"));
    EXPECT_EQ(dialog.txtWebHost()->text(), QStringLiteral("127.0.0.1:8080"));

    QSignalSpy closed(&dialog, &frmOptions::closedWith);
    dialog.txtServerPort()->setText(QStringLiteral("1023"));
    dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown.first().text, QStringLiteral("请输入一个合法的端口号 (1024 - 9999)"));
    EXPECT_TRUE(prompter.shown.first().title.isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(closed.size(), 0);

    dialog.txtServerIP()->setText(QStringLiteral("campus.local"));
    dialog.txtServerPort()->setText(QStringLiteral("2100"));
    dialog.txtWebHost()->setText(QStringLiteral("web.local:81"));
    dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(closed.size(), 1);
    EXPECT_TRUE(closed.at(0).at(0).toBool());
    EXPECT_EQ(held.CampusServerIP, QStringLiteral("campus.local"));
    const Global::ServerSettings stored = Global::LoadServerSettings(Global::StudentAppName);
    EXPECT_EQ(stored.CampusServerIP, QStringLiteral("campus.local"));
    EXPECT_EQ(stored.CampusServerPort, QStringLiteral("2100"));
    EXPECT_EQ(Global::LoadWebHost(Global::StudentAppName), QStringLiteral("web.local:81"));

    dialog.Reload();
    dialog.open();
    dialog.txtServerPort()->setText(QStringLiteral("5555"));
    dialog.reject();
    EXPECT_EQ(held.CampusServerPort, QStringLiteral("2100"));
    EXPECT_EQ(Global::LoadServerSettings(Global::StudentAppName).CampusServerPort,
        QStringLiteral("2100"));
}

TEST(OptionsTest, CtrlTabWrapsAndOnlyTheShownPageIsEnabled)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    Global::ServerSettings held;
    QString webHost;
    frmOptions dialog(held, webHost, prompter);
    dialog.open();
    EXPECT_TRUE(dialog.txtServerPort()->isEnabled());
    EXPECT_FALSE(dialog.txtWebHost()->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(dialog.currentPage(), 1);
    EXPECT_TRUE(dialog.txtWebHost()->isEnabled());
    EXPECT_FALSE(dialog.txtServerPort()->isEnabled());
    EXPECT_FALSE(dialog.chkNotifications()->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(dialog.currentPage(), 2);
    EXPECT_TRUE(dialog.chkNotifications()->isEnabled());
    EXPECT_FALSE(dialog.txtWebHost()->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(dialog.currentPage(), 0);
}

namespace {

// The texts of the client's windows in the language installed now: login
// labels and its empty-field message, the first list header of the course
// choice, the answer buttons, the first menu and the status panel.
QStringList ClientTexts()
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    QStringList texts;
    frmLogin login(prompter);
    const auto *layout = login.findChild<QFormLayout *>();
    const auto fields = login.findChildren<QLineEdit *>();
    texts << login.windowTitle();
    for (QLineEdit *field : fields)
        texts << qobject_cast<QLabel *>(layout->labelForField(field))->text();
    login.confirm();
    texts << (prompter.shown.isEmpty() ? QString() : prompter.shown.last().text);

    SessionState session;
    FrmClassList classList(session);
    texts << classList.findChild<QTreeWidget *>()->headerItem()->text(1);

    ClassLive::AnswerBar answers;
    texts << answers.yesButton()->text() << answers.noButton()->text();

    Global::WriteFirstRun(u"False"_s);
    auto form = MakeForm(prompter);
    form->Load();
    texts << form->menuBar()->actions().first()->text() << form->StatusBar()->panelText(1);
    return texts;
}

} // namespace

TEST(TranslationTest, ClientWindowsSpeakEnglishAndKeepTheirChineseSource)
{
    // Every client library brings its translation into the program.
    const QStringList installed = Global::InstallTranslators(QLocale(u"en_GB"_s));
    for (const QString &library : {u"lumocampus_en.qm"_s, u"lumoclasslive_en.qm"_s,
             u"lumoclassroom_en.qm"_s, u"lumoclassvoice_en.qm"_s, u"lumoshell_en.qm"_s})
        EXPECT_TRUE(installed.contains(library)) << library.toStdString();
    EXPECT_EQ(QCoreApplication::translate("ClassroomVoice::FloorUnit", "归还话筒"),
        u"Microphone returned"_s);
    EXPECT_EQ(ClientTexts(),
        QStringList(
            {u"Log In"_s, u"Student code"_s, u"Password"_s, u"The student code must not be empty"_s,
                u"Course"_s, u"Yes"_s, u"No"_s, u"&System"_s, u"Disconnected"_s}));

    EXPECT_TRUE(Global::InstallTranslators(QLocale(u"zh_CN"_s)).isEmpty());
    EXPECT_EQ(ClientTexts(),
        QStringList({u"登录"_s, u"学员代码"_s, u"密码"_s, u"学员代码不能为空"_s, u"课程名称"_s,
            u"是"_s, u"否"_s, u"系统(&S)"_s, u"断开"_s}));
    Global::RemoveTranslators();
}
