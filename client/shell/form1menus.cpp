#include "client/shell/form1menus.h"

#include "client/shell/shellpictures.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QSizePolicy>
#include <QToolBar>

namespace {

QAction *NamedAction(QObject *parent, const QString &name, const QString &text)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(name);
    return action;
}

} // namespace

Form1Menus BuildForm1Menus(QMainWindow *window, QWidget *logo)
{
    Form1Menus m;
    QMenuBar *bar = window->menuBar();
    QMenu *system = bar->addMenu(QCoreApplication::translate("Form1", "系统(&S)"));
    system->setObjectName(QStringLiteral("mnuSystem"));
    m.mnuConnect = NamedAction(window, QStringLiteral("mnuConnect"),
        QCoreApplication::translate("Form1", "连接服务器(&C)"));
    m.mnuDisConnect = NamedAction(window, QStringLiteral("mnuDisConnect"),
        QCoreApplication::translate("Form1", "断开连接(&D)"));
    m.mnuExportMsg = NamedAction(window, QStringLiteral("mnuExportMsg"),
        QCoreApplication::translate("Form1", "导出短消息(&O)"));
    m.mnuOptions = NamedAction(
        window, QStringLiteral("mnuOptions"), QCoreApplication::translate("Form1", "选项(&P)..."));
    m.mnuExit = NamedAction(
        window, QStringLiteral("mnuExit"), QCoreApplication::translate("Form1", "退出(&Q)"));
    system->addAction(m.mnuConnect);
    system->addAction(m.mnuDisConnect);
    system->addSeparator();
    system->addAction(m.mnuExportMsg);
    system->addAction(m.mnuOptions);
    system->addSeparator();
    system->addAction(m.mnuExit);

    QMenu *help = bar->addMenu(QCoreApplication::translate("Form1", "帮助(&H)"));
    help->setObjectName(QStringLiteral("mnuHelpMenu"));
    m.mnuHelp = NamedAction(
        window, QStringLiteral("mnuHelp"), QCoreApplication::translate("Form1", "帮助(&H)"));
    m.mnuHelp->setShortcut(QKeySequence::HelpContents);
    m.mnuAboutWS = NamedAction(
        window, QStringLiteral("mnuAboutWS"), QCoreApplication::translate("Form1", "关于(&A)"));
    help->addAction(m.mnuHelp);
    help->addAction(m.mnuAboutWS);

    m.toolbar = window->addToolBar(QCoreApplication::translate("Form1", "工具栏"));
    m.toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m.toolbar->setMovable(false);
    m.toolbar->setFloatable(false);
    m.toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m.toolbar->setIconSize(QSize(16, 16));
    m.tbConnect = m.toolbar->addAction(ShellPictures::ConnectIcon(),
        QCoreApplication::translate("Form1", "连接", "toolbar button"));
    m.tbConnect->setObjectName(QStringLiteral("Connect"));
    m.tbDisConnect = m.toolbar->addAction(ShellPictures::DisconnectIcon(),
        QCoreApplication::translate("Form1", "断开", "toolbar button"));
    m.tbDisConnect->setObjectName(QStringLiteral("DisConnect"));
    m.tbRefresh = m.toolbar->addAction(
        ShellPictures::RefreshIcon(), QCoreApplication::translate("Form1", "刷新"));
    m.tbRefresh->setObjectName(QStringLiteral("Refresh"));
    auto *spacer = new QWidget(m.toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m.toolbar->addWidget(spacer);
    m.toolbar->addWidget(logo);
    return m;
}
