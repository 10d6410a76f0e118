#pragma once

#include "controls/toolbar/aulix_whiteboardtoolbar_export.h"

#include <QWidget>

#include <memory>

// The whiteboard's tool palette: seven mutually exclusive tool buttons
// (0 is "no tool"), a line-width list and twenty colour swatches. It draws
// nothing; every choice is reported with the current width and colour, and
// the host arms the drawing layer.
//
// ViewMode 0 is the tall layout (a column of buttons, the list and a 5 x 4
// swatch grid below); any other value the wide one (a row of buttons, the
// list and a strip of 20 swatches beside them).
class AULIX_WHITEBOARDTOOLBAR_EXPORT ToolBar : public QWidget
{
    Q_OBJECT

public:
    explicit ToolBar(QWidget *parent = nullptr);
    ~ToolBar() override;

    // Selects the no-tool button and gives it the focus; raises nothing.
    void Reset();

    qint16 ViewMode() const;
    // Stored as 0 or 1; lays the palette out anew.
    void setViewMode(qint16 ViewMode);

    quint32 currentColor() const;
    qint16 currentLineWidth() const;
    int currentTool() const;

Q_SIGNALS:
    void OnRect(qint16 LineWidth, quint32 LineColor);
    void OnRoundRect(qint16 LineWidth, quint32 LineColor);
    void OnCircle(qint16 LineWidth, quint32 LineColor);
    void OnLine(qint16 LineWidth, quint32 LineColor);
    void OnText();
    void OnArrow();
    void OnChangeColor(quint32 color);
    void OnChangeLineWidth(qint16 LineWidth);

private:
    std::unique_ptr<class ToolBarPrivate> const d;
};
