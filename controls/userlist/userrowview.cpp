#include "controls/userlist/userrowview.h"

#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

namespace {

constexpr int IconSize = 16;
constexpr int RowPadding = 4;

} // namespace

UserRowView::UserRowView(QWidget *parent)
    : QAbstractItemView(parent)
{
    setIconSize(QSize(IconSize, IconSize));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    measure();
}

void UserRowView::measure()
{
    m_rowHeight = qMax(iconSize().height(), fontMetrics().height()) + RowPadding;
}

bool UserRowView::event(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        measure();
        updateGeometries();
        viewport()->update();
    }
    return QAbstractItemView::event(event);
}

void UserRowView::setModel(QAbstractItemModel *model)
{
    QObject::disconnect(m_removedConnection);
    QAbstractItemView::setModel(model);
    if (model)
        m_removedConnection = connect(
            model, &QAbstractItemModel::rowsRemoved, this, &UserRowView::updateGeometries);
}

int UserRowView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

QRect UserRowView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != 0)
        return {};
    return QRect(0, index.row() * m_rowHeight - verticalOffset(), viewport()->width(), m_rowHeight);
}

void UserRowView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int top = index.row() * m_rowHeight;
    const int height = viewport()->height();
    QScrollBar *bar = verticalScrollBar();
    switch (hint) {
    case PositionAtTop: bar->setValue(top); break;
    case PositionAtBottom: bar->setValue(top + m_rowHeight - height); break;
    case PositionAtCenter: bar->setValue(top - (height - m_rowHeight) / 2); break;
    case EnsureVisible:
        if (top < bar->value())
            bar->setValue(top);
        else if (top + m_rowHeight > bar->value() + height)
            bar->setValue(top + m_rowHeight - height);
        break;
    }
}

QModelIndex UserRowView::indexAt(const QPoint &point) const
{
    if (point.y() < 0 || !model())
        return {};
    const int row = rowAt(point.y());
    return row < rowCount() ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

QModelIndex UserRowView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    if (rows == 0)
        return {};
    const int page = qMax(1, viewport()->height() / m_rowHeight);
    int row = currentIndex().isValid() ? currentIndex().row() : 0;
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious: --row; break;
    case MoveDown:
    case MoveNext: ++row; break;
    case MovePageUp: row -= page; break;
    case MovePageDown: row += page; break;
    case MoveHome: row = 0; break;
    case MoveEnd: row = rows - 1; break;
    default: break;
    }
    return model()->index(qBound(0, row, rows - 1), 0, rootIndex());
}

int UserRowView::horizontalOffset() const
{
    return 0;
}

int UserRowView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

bool UserRowView::isIndexHidden(const QModelIndex &) const
{
    return false;
}

void UserRowView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const int rows = rowCount();
    const QRect area = rect.normalized();
    const int first = qMax(0, rowAt(qMax(0, area.top())));
    const int last = qMin(rows - 1, rowAt(qMax(0, area.bottom())));
    if (first > last) {
        selectionModel()->select(QItemSelection(), command);
        return;
    }
    selectionModel()->select(
        QItemSelection(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex())),
        command);
}

QRegion UserRowView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const QRect shown = viewport()->rect();
    for (const QItemSelectionRange &range : selection) {
        const QRect rows(0, range.top() * m_rowHeight - verticalOffset(), shown.width(),
            (range.bottom() - range.top() + 1) * m_rowHeight);
        region += rows.intersected(shown);
    }
    return region;
}

void UserRowView::updateGeometries()
{
    QScrollBar *bar = verticalScrollBar();
    const int height = viewport()->height();
    bar->setSingleStep(m_rowHeight);
    bar->setPageStep(height);
    bar->setRange(0, qMax(0, rowCount() * m_rowHeight - height));
    QAbstractItemView::updateGeometries();
}

void UserRowView::setPlaceholderText(const QString &text)
{
    m_placeholder = text;
    viewport()->update();
}

void UserRowView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const int rows = rowCount();
    if (rows == 0) {
        if (!m_placeholder.isEmpty()) {
            painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
            painter.drawText(viewport()->rect().adjusted(6, 6, -6, -6),
                Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_placeholder);
        }
        return;
    }
    const QRect area = event->rect();
    const int first = qMax(0, rowAt(area.top()));
    const int last = qMin(rows - 1, rowAt(area.bottom()));
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.decorationSize = iconSize();
    const QModelIndex current = currentIndex();
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        QStyleOptionViewItem item = option;
        item.rect = visualRect(index);
        item.state = QStyle::State_Enabled;
        if (selectionModel() && selectionModel()->isSelected(index))
            item.state |= QStyle::State_Selected;
        if (index == current && hasFocus())
            item.state |= QStyle::State_HasFocus;
        if (isActiveWindow())
            item.state |= QStyle::State_Active;
        itemDelegateForIndex(index)->paint(&painter, item, index);
    }
}

void UserRowView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
}

void UserRowView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    updateGeometries();
    if (start == 0)
        viewport()->update(); // the placeholder goes
    // Only rows from the first new one down move on the screen.
    const QRect moved(
        0, start * m_rowHeight - verticalOffset(), viewport()->width(), viewport()->height());
    viewport()->update(moved.intersected(viewport()->rect()));
}

void UserRowView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    // The scroll range follows in rowsRemoved, once the count has dropped.
    const QRect moved(
        0, start * m_rowHeight - verticalOffset(), viewport()->width(), viewport()->height());
    viewport()->update(moved.intersected(viewport()->rect()));
}
