#include "controls/coursemanage/progresswindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
    , m_caption(new QLabel(this))
    , m_bar(new QProgressBar(this))
{
    m_bar->setRange(0, 100);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_caption);
    layout->addWidget(m_bar);
    setMinimumWidth(300);
}

void ProgressWindow::start(const QString &caption)
{
    setWindowTitle(caption);
    m_caption->setText(caption);
    m_bar->setValue(0);
    show();
    raise();
}

void ProgressWindow::setValue(int percent)
{
    m_bar->setValue(qBound(0, percent, 100));
}

int ProgressWindow::value() const
{
    return m_bar->value();
}

QString ProgressWindow::caption() const
{
    return m_caption->text();
}
