#include "client/campus/frmlogin.h"

#include "common/prompter.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

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
    buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmLogin::confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        Password.clear();
        UserID.clear();
        reject();
    });
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
