#pragma once

#include <QAccessibleWidget>
#include <QHash>

class UserRowView;

// What a screen reader sees of the plain user list: a list whose items are
// the people, each named by what its row shows and what its picture means
// ("张三，举手"). Qt gives its own item views such an interface; this view
// is a view of our own, so it brings its own.
class UserRowAccessible : public QAccessibleWidget
{
public:
    explicit UserRowAccessible(UserRowView *view);
    ~UserRowAccessible() override;

    // The factory for QAccessible::installFactory.
    static QAccessibleInterface *create(const QString &className, QObject *object);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    // The views call these as rows come and go, so that no interface
    // outlives its row's meaning.
    void forgetRows();
    // Tells the reader which row now holds the keyboard.
    void announceCurrent(int row);

    UserRowView *view() const;

private:
    mutable QHash<int, QAccessible::Id> m_rows;
};
