#pragma once

#include <QStatusBar>

class QLabel;

// The main window's status bar: three panels, each with a picture and a
// text. Panel 1 shows the connection, panel 2 the microphone floor, panel 3
// holds the level bar.
class StatusPanels : public QStatusBar
{
    Q_OBJECT
public:
    explicit StatusPanels(QWidget *parent = nullptr);

    static constexpr int PanelCount = 3;
    static constexpr int DesignWidth = 150;

    // `index` from 1; `picture` from 1 in the status image list (1 active,
    // 2 inactive), 0 for none.
    void setPanel(int index, const QString &text, int picture);
    void setPanelText(int index, const QString &text);
    QString panelText(int index) const;
    int panelPicture(int index) const;
    // The left edge of a panel in the status bar's coordinates.
    int panelLeft(int index) const;
    // Puts `widget` in the panel, after its picture (the level bar in panel 3).
    void addToPanel(int index, QWidget *widget);

Q_SIGNALS:
    void panelChanged(int index, const QString &text);

private:
    struct Panel {
        QLabel *picture = nullptr;
        QLabel *text = nullptr;
        QWidget *box = nullptr;
        int pictureIndex = 0;
    };
    Panel m_panels[PanelCount];
};
