#include "common/desktop/shellopen.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace Global {

namespace {

bool looksLikeAddress(const QString &path)
{
    static const QStringList schemes
        = {u"http:"_s, u"https:"_s, u"mailto:"_s, u"ftp:"_s, u"file:"_s};
    for (const QString &scheme : schemes) {
        if (path.startsWith(scheme, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

int openPath(const QString &path)
{
    if (looksLikeAddress(path))
        return QDesktopServices::openUrl(QUrl(path)) ? ShellOpened : ShellNoAssociation;

    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return ShellPathNotFound;
    if (!info.exists())
        return ShellFileNotFound;
    if (info.isFile() && info.isExecutable()) {
        QProcess process;
        process.setProgram(info.absoluteFilePath());
        process.setWorkingDirectory(info.absolutePath());
        // Standard streams go nowhere: the program outlives this one.
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        return process.startDetached() ? ShellOpened : ShellAccessDenied;
    }
    if (info.isFile() && !info.isReadable())
        return ShellAccessDenied;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()))
        ? ShellOpened
        : ShellNoAssociation;
}

} // namespace

QString ShellOpenFailureText(int result)
{
    if (result > 32)
        return {};
    switch (result) {
    case ShellFileNotFound:
        return QCoreApplication::translate("Global", "指定文件:castagent.exe,没有找到！");
    case ShellPathNotFound: return QCoreApplication::translate("Global", "指定路径没有找到！");
    case ShellOutOfMemory:
        return QCoreApplication::translate("Global", "没有足够的内存运行指定程序！");
    default: return QCoreApplication::translate("Global", "打开指定文件出错！");
    }
}

int ShellOpenFile(const QString &path, int showCode, Prompter &prompter)
{
    Q_UNUSED(showCode) // window placement is the desktop's choice here
    const int result = openPath(path);
    if (result <= 32)
        prompter.inform(QCoreApplication::translate("Global", "Lumo Class 系统提示："),
            ShellOpenFailureText(result));
    return result;
}

} // namespace Global
