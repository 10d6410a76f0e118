#include "common/desktop/fallbacks.h"
#include "common/desktop/messageboxprompter.h"
#include "common/desktop/shellopen.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "common/testsupport/testhome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace Global;

TEST(ShellOpen, FailuresShowTheirFixedText)
{
    QTemporaryDir dir;
    ScriptedPrompter prompter;

    EXPECT_EQ(ShellOpenFile(dir.path() + u"/castagent"_s, 1, prompter), ShellFileNotFound);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].title, u"Lumo Class 系统提示："_s);
    EXPECT_EQ(prompter.shown[0].text, u"指定文件:castagent.exe,没有找到！"_s);
    EXPECT_EQ(prompter.shown[0].icon, PromptIcon::Information);

    EXPECT_EQ(ShellOpenFile(dir.path() + u"/missing/castagent"_s, 1, prompter), ShellPathNotFound);
    EXPECT_EQ(prompter.shown.last().text, u"指定路径没有找到！"_s);
    EXPECT_EQ(ShellOpenFailureText(ShellOutOfMemory), u"没有足够的内存运行指定程序！"_s);
    EXPECT_EQ(ShellOpenFailureText(ShellAccessDenied), u"打开指定文件出错！"_s);
}

TEST(ShellOpen, StartsAProgramDetached)
{
    QTemporaryDir dir;
    const QString script = dir.path() + u"/tool.sh"_s;
    const QString marker = dir.path() + u"/ran"_s;
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\ntouch ran\n"); // runs in its own folder
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    ScriptedPrompter prompter;
    EXPECT_GT(ShellOpenFile(script, 1, prompter), 32);
    EXPECT_TRUE(prompter.shown.isEmpty());
    for (int i = 0; i < 200 && !QFile::exists(marker); ++i)
        QThread::msleep(10);
    EXPECT_TRUE(QFile::exists(marker));
}

// A window without a prompter from its host asks through a window-modal box
// over itself, without blocking; one from the host takes over every question.
TEST(Fallbacks, PrompterSlotUsesTheHostsOrMessageBoxes)
{
    int argc = 1;
    char name[] = "desktop_tests";
    char *argv[] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    if (!qApp)
        app = std::make_unique<QApplication>(argc, argv);

    QWidget window;
    window.show();
    PrompterSlot slot(&window);
    std::optional<PromptAnswer> answer;
    slot.get().show(Prompt{u"T"_s, u"text"_s, PromptIcon::Warning, PromptButtons::OkCancel},
        [&answer](PromptAnswer a) { answer = a; });
    EXPECT_FALSE(answer.has_value()); // not answered inside show()
    auto *box = window.findChild<QMessageBox *>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), u"text"_s);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    box->button(QMessageBox::Cancel)->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(answer, PromptAnswer::Cancel);

    ScriptedPrompter host;
    host.answers = {PromptAnswer::Yes};
    slot.set(&host);
    slot.get().show(Prompt{u"T"_s, u"second"_s}, [&answer](PromptAnswer a) { answer = a; });
    EXPECT_EQ(answer, PromptAnswer::Yes);
    ASSERT_EQ(host.shown.size(), 1);
    EXPECT_EQ(host.shown[0].text, u"second"_s);
}

// A server repeating a command must not stack a box per repeat: one box per
// kind, every caller answered with what the student chose, the repeats
// counted in the log.
TEST(MessageBoxes, OneBoxPerKindAnswersEveryRepeat)
{
    TestHome home;
    int argc = 1;
    char name[] = "desktop_tests";
    char *argv[] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    if (!qApp)
        app = std::make_unique<QApplication>(argc, argv);

    QWidget window;
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    MessageBoxPrompter prompter(&window);
    const Prompt invalid{u"Lumo Class"_s, u"当前播放节点无效！"_s, PromptIcon::Information};
    const Prompt question{
        u"Lumo Class"_s, u"同意吗？"_s, PromptIcon::Question, PromptButtons::YesNo};
    const auto openBoxes = [&window] {
        int open = 0;
        for (QMessageBox *box : window.findChildren<QMessageBox *>())
            open += box->isVisible() ? 1 : 0;
        return open;
    };

    QList<PromptAnswer> informed;
    for (int i = 0; i < 2000; ++i)
        prompter.show(invalid, [&informed](PromptAnswer a) { informed << a; });
    prompter.inform(invalid.title, invalid.text); // no callback at all
    QList<PromptAnswer> answered;
    for (int i = 0; i < 3; ++i)
        prompter.show(question, [&answered](PromptAnswer a) { answered << a; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return openBoxes() == 2; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(openBoxes(), 2);
    EXPECT_TRUE(informed.isEmpty());

    const auto boxSaying = [&window](const QString &text) -> QMessageBox * {
        for (QMessageBox *box : window.findChildren<QMessageBox *>())
            if (box->isVisible() && box->text() == text)
                return box;
        return nullptr;
    };
    QMessageBox *box = boxSaying(question.text);
    ASSERT_NE(box, nullptr);
    QAbstractButton *no = box->button(QMessageBox::No);
    QTest::mouseClick(no, Qt::LeftButton, {}, no->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered.size() == 3; }, 2000));
    EXPECT_EQ(answered, QList<PromptAnswer>(3, PromptAnswer::No));

    box = boxSaying(invalid.text);
    ASSERT_NE(box, nullptr);
    QAbstractButton *ok = box->button(QMessageBox::Ok);
    QTest::mouseClick(ok, Qt::LeftButton, {}, ok->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return informed.size() == 2000; }, 2000));
    EXPECT_EQ(informed.count(PromptAnswer::Ok), 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return openBoxes() == 0; }, 2000));
    FlushErrorLog();
    const QString log = QString::fromUtf8(home.errorLog());
    EXPECT_TRUE(log.contains(u"shown once for 2000 more requests while it was open: "_s
        + invalid.title + u": "_s + invalid.text))
        << log.toStdString();
    EXPECT_TRUE(log.contains(u"shown once for 2 more requests"_s));

    // Once answered, the same prompt opens a box again.
    prompter.show(invalid);
    EXPECT_TRUE(QTest::qWaitFor([&] { return openBoxes() == 1; }, 2000));
}
