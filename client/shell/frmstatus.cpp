#include "client/shell/frmstatus.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

FrmStatus::FrmStatus(QWidget *parent)
    : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("FrmStatus"));
    m_text = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_cancel = new QPushButton(tr("取消"), this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    setFixedWidth(340);
    connect(m_cancel, &QPushButton::clicked, this, &FrmStatus::cancelRequested);
}

void FrmStatus::setText(const QString &text)
{
    m_text->setText(text);
}

QString FrmStatus::text() const
{
    return m_text->text();
}

void FrmStatus::setProgress(int percent)
{
    m_bar->setValue(qBound(0, percent, 100));
}

int FrmStatus::progress() const
{
    return m_bar->value();
}

void FrmStatus::closeEvent(QCloseEvent *event)
{
    // Closing the window is a cancel: the owner ends the transfer and hides it.
    event->ignore();
    Q_EMIT cancelRequested();
}
