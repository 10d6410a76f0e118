#include "client/shell/statuspanels.h"

#include "client/shell/shellpictures.h"

#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

StatusPanels::StatusPanels(QWidget *parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    setSizeGripEnabled(false);
    static constexpr int widths[PanelCount] = {DesignWidth, DesignWidth, 0};
    for (int i = 0; i < PanelCount; ++i) {
        Panel &panel = m_panels[i];
        panel.box = new QWidget(this);
        auto *layout = new QHBoxLayout(panel.box);
        layout->setContentsMargins(2, 0, 2, 0);
        layout->setSpacing(3);
        panel.picture = new QLabel(panel.box);
        panel.picture->setFixedSize(16, 16);
        panel.text = new QLabel(panel.box);
        panel.text->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        layout->addWidget(panel.picture);
        layout->addWidget(panel.text, 1);
        if (widths[i] > 0) {
            panel.box->setMinimumWidth(widths[i]);
            addWidget(panel.box);
        } else {
            addWidget(panel.box, 1);
        }
    }
}

void StatusPanels::setPanel(int index, const QString &text, int picture)
{
    if (index < 1 || index > PanelCount)
        return;
    Panel &panel = m_panels[index - 1];
    panel.pictureIndex = picture;
    panel.picture->setPixmap(
        picture > 0 ? ShellPictures::ImageList2(picture).pixmap(16, 16) : QPixmap());
    setPanelText(index, text);
}

void StatusPanels::setPanelText(int index, const QString &text)
{
    if (index < 1 || index > PanelCount)
        return;
    Panel &panel = m_panels[index - 1];
    panel.text->setText(text);
    // At least its design width, more for a longer text ("连接中断，正在重新
    // 连接… 12 秒"), which is never cut. The last panel takes the rest.
    if (index < PanelCount)
        panel.box->setMinimumWidth(std::max(DesignWidth, panel.box->sizeHint().width()));
    Q_EMIT panelChanged(index, text);
}

QString StatusPanels::panelText(int index) const
{
    if (index < 1 || index > PanelCount)
        return {};
    return m_panels[index - 1].text->text();
}

int StatusPanels::panelPicture(int index) const
{
    if (index < 1 || index > PanelCount)
        return 0;
    return m_panels[index - 1].pictureIndex;
}

int StatusPanels::panelLeft(int index) const
{
    if (index < 1 || index > PanelCount)
        return 0;
    return m_panels[index - 1].box->x();
}

void StatusPanels::addToPanel(int index, QWidget *widget)
{
    if (index < 1 || index > PanelCount)
        return;
    auto *layout = static_cast<QHBoxLayout *>(m_panels[index - 1].box->layout());
    layout->insertWidget(1, widget);
}
