#include "client/shell/shellstyle.h"

#include "client/shell/shellpictures.h"

#include <QApplication>
#include <QStyleFactory>

ShellStyle::ShellStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{ }

QIcon ShellStyle::standardIcon(
    StandardPixmap standardIcon, const QStyleOption *option, const QWidget *widget) const
{
    switch (standardIcon) {
    case SP_ToolBarHorizontalExtensionButton: return ShellPictures::ExtensionIcon(Qt::Horizontal);
    case SP_ToolBarVerticalExtensionButton: return ShellPictures::ExtensionIcon(Qt::Vertical);
    default:
        // Asked for later (a message box, a file dialog), where a plugin
        // loaded costs nothing the student waits for.
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
}

void ShellStyle::Install()
{
    if (!qobject_cast<ShellStyle *>(QApplication::style()))
        QApplication::setStyle(new ShellStyle);
}
