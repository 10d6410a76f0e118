#include "client/campus/frmclasslist.h"

#include "client/campus/coursecatalogue.h"
#include "client/campus/listcolumns.h"
#include "client/session/sessionstate.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// Key, header, width in twips.
const ListColumns::Column Columns[] = {{u"_1", QT_TRANSLATE_NOOP("ListColumns", "ID"), 500},
    {u"_2", QT_TRANSLATE_NOOP("ListColumns", "课程名称"), 1500},
    {u"_3", QT_TRANSLATE_NOOP("ListColumns", "课程说明"), 2000},
    {u"_4", QT_TRANSLATE_NOOP("ListColumns", "讲师"), 1000},
    {u"_5", QT_TRANSLATE_NOOP("ListColumns", "上课时间"), 2000},
    {u"_6", QT_TRANSLATE_NOOP("ListColumns", "教室IP"), 1000}};
} // namespace

FrmClassList::FrmClassList(SessionState &session, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
    , m_categories(new QComboBox(this))
    , m_courses(new QTreeWidget(this))
{
    setObjectName(u"FrmClassList"_s);
    setWindowTitle(tr("选择课程"));
    setWindowModality(Qt::WindowModal);
    m_categories->setAccessibleDescription(tr("分类"));
    ListColumns::setUp(m_courses, Columns);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_categories);
    layout->addWidget(m_courses);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("确认"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    resize(720, 360);
    connect(buttons, &QDialogButtonBox::accepted, this, &FrmClassList::confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_categories, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            showCategory(ListTexts::categoryFromComboText(m_categories->itemText(index)));
    });
    connect(m_courses, &QTreeWidget::itemChanged, this, &FrmClassList::onItemChanged);
}

void FrmClassList::fillCategories()
{
    m_courses->clear();
    m_categories->clear();
    for (const ListTexts::CategoryRecord &category : std::as_const(m_session.Categories))
        m_categories->addItem(CategoryBoxText(category));
    if (m_categories->count() > 0) {
        m_categories->setCurrentIndex(0);
        showCategory(ListTexts::categoryFromComboText(m_categories->itemText(0)));
    }
}

void FrmClassList::showCategory(qint32 categoryId)
{
    m_filling = true;
    m_courses->clear();
    m_courses->setSortingEnabled(false);
    int n = 0;
    for (const ListTexts::CourseRecord &course : std::as_const(m_session.AllCourses)) {
        if (course.CategoryID != categoryId)
            continue;
        ++n;
        auto *item = new QTreeWidgetItem(m_courses,
            {QString::number(course.CourseID), CourseNameOf(course), course.Description,
                course.Teacher, course.ClassTime, course.ServerAddress});
        item->setData(0, Qt::UserRole, u"_"_s + QString::number(n));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, course.bChecked ? Qt::Checked : Qt::Unchecked);
    }
    ListColumns::setWidths(m_courses, Columns);
    m_courses->setSortingEnabled(true);
    m_filling = false;
}

void FrmClassList::onItemChanged(QTreeWidgetItem *item, int column)
{
    if (m_filling || column != 0)
        return;
    const qint32 id = item->text(0).toInt();
    for (ListTexts::CourseRecord &course : m_session.AllCourses) {
        if (course.CourseID == id)
            course.bChecked = item->checkState(0) == Qt::Checked;
    }
}

void FrmClassList::confirm()
{
    QVector<ListTexts::CourseRecord> chosen;
    for (const ListTexts::CourseRecord &course : std::as_const(m_session.AllCourses)) {
        if (course.bChecked)
            chosen.append(course);
    }
    m_session.BookedCourses = chosen;
    Q_EMIT booked();
    accept();
}
