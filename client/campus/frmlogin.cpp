#include "client/campus/frmlogin.h"

#include "common/prompter.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

using namespace Qt::StringLiterals;

frmLogin::frmLogin(Global::Prompter &prompter, QWidget *parent)
    : QDialog(parent)
    , m_prompter(prompter)
    , m_code(new QLineEdit(this))
    , m_password(new QLineEdit(this))
{
    setObjectName(u"frmLogin"_s);
    setWindowTitle(tr("登录"));
    setWindowModality(Qt::WindowModal);
    m_password->setEchoMode(QLineEdit::Password);
    m_code->setAccessibleName(tr("学员代码"));
    m_password->setAccessibleName(tr("密码"));
    auto *form = new QFormLayout(this);
    form->addRow(tr("学员代码"), m_code);
    form->addRow(tr("密码"), m_password);
    auto *buttons = new QDialogButtonBox(this);
    m_buttons = buttons;
    buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    form->addRow(buttons);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"progress"_s);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->hide();
    form->addRow(m_progress);
    m_progressTimer.setInterval(50);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        const qint64 passed = QDateTime::currentMSecsSinceEpoch() - m_progressStart;
        m_progress->setValue(
            int(std::min<qint64>(100, passed * 100 / std::max(1, m_progressLength))));
        if (passed >= m_progressLength)
            endProgress();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &frmLogin::confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        Password.clear();
        UserID.clear();
        reject();
    });
}

void frmLogin::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Over the middle of the main window, at the size the dialog has now
    // (its layout may have grown it since Qt placed it).
    if (QWidget *owner = parentWidget()) {
        const QRect over = owner->window()->frameGeometry();
        move(over.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
}

void frmLogin::setWaiting(bool waiting)
{
    m_code->setEnabled(!waiting);
    m_password->setEnabled(!waiting);
    m_buttons->setEnabled(!waiting);
    m_progress->setVisible(waiting);
}

void frmLogin::showProgress(int milliseconds)
{
    m_progressLength = std::max(1, milliseconds);
    m_progressStart = QDateTime::currentMSecsSinceEpoch();
    m_progress->setValue(0);
    setWaiting(true);
    m_progressTimer.start();
    // Shown, not opened: the login's result was given already, and the
    // window-modal block is not wanted while the road goes on.
    show();
}

void frmLogin::endProgress()
{
    if (!m_progressTimer.isActive() && !m_progress->isVisible())
        return;
    m_progressTimer.stop();
    m_progress->setValue(100);
    hide();
    setWaiting(false);
}

void frmLogin::fill(const QString &code, const QString &password)
{
    m_code->setText(code);
    m_password->setText(password);
}

void frmLogin::confirm()
{
    const QString code = m_code->text().trimmed();
    if (code.isEmpty()) {
        m_prompter.show({QString(), tr("学员代码不能为空"), Global::PromptIcon::None});
        return;
    }
    if (m_password->text().isEmpty()) {
        m_prompter.show({QString(), tr("密码不能为空"), Global::PromptIcon::None});
        return;
    }
    UserName = code;
    Password = m_password->text();
    accept();
}
