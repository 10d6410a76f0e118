#include "controls/userlist/userrowaccessible.h"

#include "controls/userlist/userrowview.h"

#include <QItemSelectionModel>

namespace {

class RowItem : public QAccessibleInterface
{
public:
    RowItem(UserRowView *view, int row)
        : m_view(view)
        , m_row(row)
    { }

    bool isValid() const override
    {
        return m_view && m_view->model() && m_row < m_view->model()->rowCount();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_view);
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        const QModelIndex item = index();
        switch (t) {
        case QAccessible::Name: return item.data(Qt::AccessibleTextRole).toString();
        case QAccessible::Description: return item.data(Qt::AccessibleDescriptionRole).toString();
        default: return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override { }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect row = m_view->visualRect(index());
        return QRect(m_view->viewport()->mapToGlobal(row.topLeft()), row.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        st.selectable = true;
        st.focusable = true;
        const QModelIndex item = index();
        if (m_view->selectionModel() && m_view->selectionModel()->isSelected(item))
            st.selected = true;
        if (m_view->currentIndex() == item && m_view->hasFocus())
            st.focused = true;
        if (!m_view->viewport()->rect().intersects(m_view->visualRect(item)))
            st.offscreen = true;
        return st;
    }

private:
    QModelIndex index() const { return m_view->model()->index(m_row, 0, m_view->rootIndex()); }

    QPointer<UserRowView> m_view;
    int m_row;
};

} // namespace

UserRowAccessible::UserRowAccessible(UserRowView *view)
    : QAccessibleWidget(view, QAccessible::List)
{ }

UserRowAccessible::~UserRowAccessible()
{
    forgetRows();
}

QAccessibleInterface *UserRowAccessible::create(const QString &className, QObject *object)
{
    if (className == QLatin1String("UserRowView") && object && object->isWidgetType())
        return new UserRowAccessible(static_cast<UserRowView *>(object));
    return nullptr;
}

UserRowView *UserRowAccessible::view() const
{
    return static_cast<UserRowView *>(widget());
}

int UserRowAccessible::childCount() const
{
    return view()->model() ? view()->model()->rowCount(view()->rootIndex()) : 0;
}

QAccessibleInterface *UserRowAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto found = m_rows.constFind(index); found != m_rows.cend())
        return QAccessible::accessibleInterface(*found);
    auto *item = new RowItem(view(), index);
    m_rows.insert(index, QAccessible::registerAccessibleInterface(item));
    return item;
}

int UserRowAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface *>(child));
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
        if (it.value() == id)
            return it.key();
    return -1;
}

QAccessibleInterface *UserRowAccessible::childAt(int x, int y) const
{
    const QPoint inside = view()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex item = view()->indexAt(inside);
    return item.isValid() ? child(item.row()) : nullptr;
}

void UserRowAccessible::forgetRows()
{
    for (const QAccessible::Id id : std::as_const(m_rows))
        QAccessible::deleteAccessibleInterface(id);
    m_rows.clear();
}

void UserRowAccessible::announceCurrent(int row)
{
    if (row < 0 || row >= childCount())
        return;
    QAccessibleEvent focus(child(row), QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
}
