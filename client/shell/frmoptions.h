#pragma once

#include "common/settingsstore.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QStackedWidget;
class QTabBar;

namespace Global {
class Prompter;
}

// "选择服务器和端口": the campus server address and ports on the first page,
// the web host (account pages, help, links) on the second, the desktop
// notifications switch on the third. OK checks the port and saves; Cancel
// leaves everything as it was.
class frmOptions : public QDialog
{
    Q_OBJECT
public:
    frmOptions(Global::ServerSettings &settings, QString &webHost, Global::Prompter &prompter,
        QWidget *parent = nullptr);

    // The port rule: digits only after trimming, at most 4 of them, above 1023.
    static bool IsValidPort(const QString &text);

    QLineEdit *txtServerIP() const { return m_txtServerIP; }
    QLineEdit *txtServerPort() const { return m_txtServerPort; }
    QLineEdit *txtChatPort() const { return m_txtChatPort; }
    QLineEdit *txtWebHost() const { return m_txtWebHost; }
    QCheckBox *chkNotifications() const { return m_chkNotifications; }
    QTabBar *tbsOptions() const { return m_tbsOptions; }
    int currentPage() const;

    // Fills the boxes from the held settings and centres the dialog.
    void Reload();

    // A page of another part of the program, behind a tab of its own.
    void addPage(const QString &title, QWidget *page);

Q_SIGNALS:
    // OK with a valid port (saved) or Cancel (not saved).
    void closedWith(bool saved);

public Q_SLOTS:
    // Cancel, Escape and the close box: hide without saving.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void onOk();

    Global::ServerSettings &m_settings;
    QString &m_webHost;
    Global::Prompter &m_prompter;
    QTabBar *m_tbsOptions = nullptr;
    QStackedWidget *m_pages = nullptr;
    QLineEdit *m_txtServerIP = nullptr;
    QLineEdit *m_txtServerPort = nullptr;
    QLineEdit *m_txtChatPort = nullptr;
    QLineEdit *m_txtWebHost = nullptr;
    QCheckBox *m_chkNotifications = nullptr;
};

namespace Global {
// "Options"/"WebHost": the web host of the account pages, the help page and
// the links, "host" or "host:port".
void SaveWebHost(const QString &appName, const QString &webHost);
QString LoadWebHost(const QString &appName);
inline const QString DefaultWebHost = QStringLiteral("127.0.0.1");
// "Options"/"DesktopNotifications": on ("True") unless switched off.
void SaveDesktopNotifications(const QString &appName, bool enabled);
bool LoadDesktopNotifications(const QString &appName);
} // namespace Global
