#pragma once

#include <QAbstractItemView>

// A plain one-column list of equally high rows. Every answer (the row at a
// point, the rectangle of a row, the scroll range) is arithmetic on the row
// height, so an arrival, a departure or a status change costs the same in a
// class of twenty as in one of twenty thousand: nothing is laid out again.
class UserRowView : public QAbstractItemView
{
    Q_OBJECT
public:
    explicit UserRowView(QWidget *parent = nullptr);

    int rowHeight() const { return m_rowHeight; }
    // Shown while the list is empty: what will appear there.
    QString placeholderText() const { return m_placeholder; }
    void setPlaceholderText(const QString &text);

    void setModel(QAbstractItemModel *model) override;

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    bool event(QEvent *event) override;

private:
    int rowCount() const;
    int rowAt(int y) const { return (y + verticalOffset()) / m_rowHeight; }
    void measure();

    int m_rowHeight = 20;
    QString m_placeholder;
    QMetaObject::Connection m_removedConnection;
};
