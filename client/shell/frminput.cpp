#include "client/shell/frminput.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FrmInput::FrmInput(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmInput"));
    setWindowTitle(tr("input"));
    m_txtInput = new QLineEdit(this);
    m_txtInput->setObjectName(QStringLiteral("txtInput"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_txtInput);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &FrmInput::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &FrmInput::onCancel);
}

void FrmInput::showEvent(QShowEvent *event)
{
    m_result.clear();
    QDialog::showEvent(event);
}

void FrmInput::onOk()
{
    m_result = m_txtInput->text();
    accept();
}

void FrmInput::onCancel()
{
    m_result.clear();
    reject();
}
