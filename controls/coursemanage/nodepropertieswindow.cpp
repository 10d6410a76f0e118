#include "controls/coursemanage/nodepropertieswindow.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

NodePropertiesWindow::NodePropertiesWindow(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
    , m_text(new QPlainTextEdit(this))
{
    setWindowTitle(tr("节点属性"));
    m_text->setReadOnly(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    resize(360, 180);
}

void NodePropertiesWindow::showText(const QString &text)
{
    // The text keeps its CR LF line ends; the box shows the lines.
    m_text->setPlainText(QString(text).replace(u"\r\n"_s, u"\n"_s));
    show();
    raise();
}

QString NodePropertiesWindow::text() const
{
    return m_text->toPlainText().replace(u"\n"_s, u"\r\n"_s);
}
