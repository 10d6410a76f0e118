#include "client/campus/frmtip.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

FrmTip::FrmTip(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_text(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_cancel(new QPushButton(tr("取消"), this))
{
    setObjectName(u"FrmTip"_s);
    setWindowTitle(u"Lumo Class"_s);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    m_progress->setRange(0, 100);
    m_progress->hide();
    m_cancel->setAccessibleName(tr("取消"));
    setMinimumWidth(300);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT cancelled();
    });
}

void FrmTip::SetDisplayString(const QString &text)
{
    m_text->setText(text);
}

QString FrmTip::displayString() const
{
    return m_text->text();
}

void FrmTip::setProgress(qint64 received, qint64 total)
{
    if (total <= 0) {
        m_progress->setRange(0, 0);
        return;
    }
    m_progress->setRange(0, 100);
    m_progress->setValue(int(std::clamp(received * 100 / total, qint64(0), qint64(100))));
}

void FrmTip::setProgressVisible(bool visible)
{
    m_progress->setVisible(visible);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
}

int FrmTip::progressValue() const
{
    return m_progress->value();
}

void FrmTip::closeEvent(QCloseEvent *event)
{
    // Closing the window by its frame is a cancel, like the button.
    event->ignore();
    if (isVisible()) {
        hide();
        Q_EMIT cancelled();
    }
}
