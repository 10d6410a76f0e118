#include "common/desktop/shellopen.h"
#include "common/testsupport/testhome.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

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
