#pragma once

#include "controls/coursemanage/aulix_coursemanage_export.h"

#include <QTreeWidget>

// The course tree: a QTreeWidget whose presses, drags and drops are turned
// into the control's own signals. While not interactive (in class) presses
// neither select nor open the menu, and nothing is dragged or dropped.
class AULIX_COURSEMANAGE_EXPORT CourseTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    static constexpr int KeyRole = Qt::UserRole;
    static constexpr int TagRole = Qt::UserRole + 1;
    static constexpr int PictureRole = Qt::UserRole + 2;

    explicit CourseTreeWidget(QWidget *parent = nullptr);

    void setInteractive(bool interactive);
    bool isInteractive() const { return m_interactive; }

Q_SIGNALS:
    // After the press has selected `item` (null: no node under the pointer).
    void nodePressed(QTreeWidgetItem *item, Qt::MouseButton button, const QPoint &globalPos);
    // Double-click or Enter: play the selected node.
    void nodeActivated();
    void nodeDropped(const QString &key, QTreeWidgetItem *target);
    void filesDropped(const QStringList &paths);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool m_interactive = true;
};
