#pragma once

#include <QDialog>

class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;
class SessionState;

// The course-choice dialog: the categories in a box, the bookable courses of
// the chosen category with check boxes. OK makes the ticked courses of all
// categories the booked courses and says so with booked().
class FrmClassList : public QDialog
{
    Q_OBJECT

public:
    explicit FrmClassList(SessionState &session, QWidget *parent = nullptr);

    // Rebuilds the category box from the session's categories and selects
    // the first, which lists its courses.
    void fillCategories();
    // Lists the courses of one category (the box's selection does this).
    void showCategory(qint32 categoryId);
    // The OK button.
    void confirm();

    QComboBox *categoryBox() const { return m_categories; }
    QTreeWidget *courseList() const { return m_courses; }

Q_SIGNALS:
    void booked();

private:
    void onItemChanged(QTreeWidgetItem *item, int column);

    SessionState &m_session;
    QComboBox *m_categories;
    QTreeWidget *m_courses;
    bool m_filling = false;
};
