#include "client/shell/frmoptions.h"

#include "common/prompter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace Global {

void SaveWebHost(const QString &appName, const QString &webHost)
{
    SaveSetting(appName.trimmed(), QStringLiteral("Options"), QStringLiteral("WebHost"), webHost);
}

QString LoadWebHost(const QString &appName)
{
    return GetSetting(
        appName.trimmed(), QStringLiteral("Options"), QStringLiteral("WebHost"), DefaultWebHost);
}

void SaveDesktopNotifications(const QString &appName, bool enabled)
{
    SaveSetting(appName.trimmed(), QStringLiteral("Options"),
        QStringLiteral("DesktopNotifications"),
        enabled ? QStringLiteral("True") : QStringLiteral("False"));
}

bool LoadDesktopNotifications(const QString &appName)
{
    return GetSetting(appName.trimmed(), QStringLiteral("Options"),
               QStringLiteral("DesktopNotifications"), QStringLiteral("True"))
        != QStringLiteral("False");
}

} // namespace Global

frmOptions::frmOptions(
    Global::ServerSettings &settings, QString &webHost, Global::Prompter &prompter, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_webHost(webHost)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(tr("选择服务器和端口"));

    m_tbsOptions = new QTabBar(this);
    m_tbsOptions->setObjectName(QStringLiteral("tbsOptions"));
    m_tbsOptions->addTab(tr("服务器"));
    m_tbsOptions->addTab(tr("网站"));
    m_tbsOptions->addTab(tr("提醒"));
    m_pages = new QStackedWidget(this);

    auto *serverPage = new QWidget(m_pages);
    auto *serverForm = new QFormLayout(serverPage);
    m_txtServerIP = new QLineEdit(serverPage);
    m_txtServerIP->setObjectName(QStringLiteral("txtServerIP"));
    m_txtServerPort = new QLineEdit(QStringLiteral("2000"), serverPage);
    m_txtServerPort->setObjectName(QStringLiteral("txtServerPort"));
    m_txtChatPort = new QLineEdit(QStringLiteral("2001"), serverPage);
    m_txtChatPort->setObjectName(QStringLiteral("txtChatPort"));
    serverForm->addRow(tr("服务器地址:"), m_txtServerIP);
    serverForm->addRow(tr("服务器端口:"), m_txtServerPort);
    serverForm->addRow(tr("语音端口:"), m_txtChatPort);
    m_pages->addWidget(serverPage);

    auto *webPage = new QWidget(m_pages);
    auto *webForm = new QFormLayout(webPage);
    m_txtWebHost = new QLineEdit(webPage);
    m_txtWebHost->setObjectName(QStringLiteral("txtWebHost"));
    webForm->addRow(tr("网站地址:"), m_txtWebHost);
    m_pages->addWidget(webPage);

    auto *noticePage = new QWidget(m_pages);
    auto *noticeLayout = new QVBoxLayout(noticePage);
    m_chkNotifications = new QCheckBox(tr("窗口在后台时用桌面通知提醒我"), noticePage);
    m_chkNotifications->setObjectName(QStringLiteral("chkNotifications"));
    m_chkNotifications->setToolTip(
        tr("老师给你话筒、提问、有人请求语音密谈、收到给你的短消息或与教室的连接中断时"));
    noticeLayout->addWidget(m_chkNotifications);
    noticeLayout->addStretch();
    m_pages->addWidget(noticePage);

    // Only the page of the selected tab is enabled, as if the others lay
    // out of sight.
    connect(m_tbsOptions, &QTabBar::currentChanged, this, [this](int index) {
        for (int i = 0; i < m_pages->count(); ++i)
            m_pages->widget(i)->setEnabled(i == index);
        m_pages->setCurrentIndex(index);
    });
    for (int i = 1; i < m_pages->count(); ++i)
        m_pages->widget(i)->setEnabled(false);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole)
        ->setObjectName(QStringLiteral("cmdOK"));
    buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &frmOptions::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &frmOptions::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tbsOptions);
    layout->addWidget(m_pages);
    layout->addWidget(buttons);
    setFixedSize(360, 220);
    Reload();
}

void frmOptions::addPage(const QString &title, QWidget *page)
{
    page->setParent(m_pages);
    m_pages->addWidget(page);
    page->setEnabled(false);
    m_tbsOptions->addTab(title);
    setFixedSize(std::max(width(), 420), std::max(height(), 260));
}

bool frmOptions::IsValidPort(const QString &text)
{
    const QString port = text.trimmed();
    if (port.isEmpty() || port.size() > 4 || port.startsWith(u'-'))
        return false;
    for (const QChar c : port) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return port.toInt() > 1023;
}

int frmOptions::currentPage() const
{
    return m_tbsOptions->currentIndex();
}

void frmOptions::Reload()
{
    // The held address, not a fixed host: opening and confirming the dialog
    // must not replace the student's campus server.
    m_txtServerIP->setText(m_settings.CampusServerIP);
    m_txtServerPort->setText(m_settings.CampusServerPort);
    m_txtChatPort->setText(m_settings.gChatPort);
    m_txtWebHost->setText(m_webHost);
    m_chkNotifications->setChecked(Global::LoadDesktopNotifications(Global::StudentAppName));
    m_tbsOptions->setCurrentIndex(0);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void frmOptions::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier) {
        m_tbsOptions->setCurrentIndex((m_tbsOptions->currentIndex() + 1) % m_tbsOptions->count());
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmOptions::onOk()
{
    if (!IsValidPort(m_txtServerPort->text())) {
        m_prompter.show({QString(), tr("请输入一个合法的端口号 (1024 - 9999)"),
            Global::PromptIcon::None, Global::PromptButtons::Ok});
        return;
    }
    m_settings.CampusServerIP = m_txtServerIP->text();
    m_settings.CampusServerPort = m_txtServerPort->text();
    m_settings.gChatPort = m_txtChatPort->text();
    m_webHost = m_txtWebHost->text().trimmed();
    Global::SaveServerSettings(Global::StudentAppName, m_settings);
    Global::SaveWebHost(Global::StudentAppName, m_webHost);
    Global::SaveDesktopNotifications(Global::StudentAppName, m_chkNotifications->isChecked());
    hide();
    Q_EMIT closedWith(true);
}

void frmOptions::reject()
{
    hide();
    Q_EMIT closedWith(false);
}
