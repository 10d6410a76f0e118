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
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

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
    auto again = MakeForm(prompter);
    again->Load();
    EXPECT_EQ(OptionsDialog(*again), nullptr);
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

TEST(Form1Test, FixedClientAreaAndBoardStack)
{
    TestHome home;
    Global::ScriptedPrompter prompter;
    auto owned = MakeForm(prompter);
    Form1 &form = *owned;
    // The wiring places its widgets against the board before the window
    // is shown: the rectangle is final from construction on.
    const QRect boardBeforeShow = form.WhiteBoard()->geometry();
    EXPECT_GT(boardBeforeShow.width(), 300);
    form.Load();
    form.resize(1000, 700);
    QApplication::processEvents();
    const int menu = form.menuWidget()->height();
    EXPECT_EQ(form.width(), Form1InnerWidth);
    EXPECT_EQ(form.height() - menu, Form1InnerHeight);
    // The presentation and the layer lie exactly on the board's inner
    // rectangle, the layer on top, and the play area matches its size.
    const QRect inner = form.WhiteBoard()->contentsRect().translated(form.WhiteBoard()->pos());
    EXPECT_EQ(form.whiteBoardSign()->geometry(), inner);
    EXPECT_EQ(form.whiteBoardOLE()->geometry(), inner);
    EXPECT_EQ(form.whiteBoardOLE()->AreaEndPosX(), QString::number(inner.width()));
    EXPECT_EQ(form.whiteBoardOLE()->AreaEndPosY(), QString::number(inner.height()));
    const QObjectList siblings = form.ui().central->children();
    EXPECT_GT(siblings.indexOf(form.whiteBoardSign()), siblings.indexOf(form.whiteBoardOLE()));
    EXPECT_EQ(form.WhiteBoard()->geometry(), boardBeforeShow);
    // The hosted controls' own buttons fit in the columns given to them.
    for (QWidget *control :
        {static_cast<QWidget *>(form.CourseManage()), static_cast<QWidget *>(form.notesManage())}) {
        for (QPushButton *button : control->findChildren<QPushButton *>()) {
            EXPECT_TRUE(control->rect().contains(button->geometry()))
                << button->text().toStdString();
        }
    }
    // Every control stays inside the client area.
    for (QWidget *child : form.ui().central->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(&form)) {
            EXPECT_TRUE(form.ui().central->rect().contains(child->geometry()))
                << child->objectName().toStdString();
        }
    }
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
