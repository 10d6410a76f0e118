#include "common/desktop/fallbacks.h"
#include "common/desktop/shellopen.h"
#include "common/prompter.h"
#include "common/testsupport/testhome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
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
