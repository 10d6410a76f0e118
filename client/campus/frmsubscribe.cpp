#include "client/campus/frmsubscribe.h"

#include "client/campus/coursecatalogue.h"
#include "client/campus/frmclasslist.h"
#include "client/campus/listcolumns.h"
#include "client/session/sessionstate.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "protocol/msgtypes.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
const ListColumns::Column Columns[] = {{u"_1", QT_TRANSLATE_NOOP("ListColumns", "ID"), 400},
    {u"_2", QT_TRANSLATE_NOOP("ListColumns", "课程名称"), 1500},
    {u"_3", QT_TRANSLATE_NOOP("ListColumns", "课程说明"), 2000},
    {u"_4", QT_TRANSLATE_NOOP("ListColumns", "讲师"), 1000},
    {u"_5", QT_TRANSLATE_NOOP("ListColumns", "上课时间"), 2000},
    {u"_6", QT_TRANSLATE_NOOP("ListColumns", "教室IP"), 1500},
    {u"_7", QT_TRANSLATE_NOOP("ListColumns", "教室端口"), 1},
    {u"_8", QT_TRANSLATE_NOOP("ListColumns", "所属分类"), 2000}};

const ListTexts::CategoryRecord *findCategory(
    const QVector<ListTexts::CategoryRecord> &categories, qint32 id, int *index = nullptr)
{
    for (int i = 0; i < categories.size(); ++i) {
        if (categories.at(i).CategoryID == id) {
            if (index)
                *index = i;
            return &categories.at(i);
        }
    }
    return nullptr;
}
} // namespace

FrmSubscribe::FrmSubscribe(
    SessionState &session, CourseCatalogue catalogue, Global::Prompter &prompter, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
    , m_catalogue(std::move(catalogue))
    , m_prompter(prompter)
    , m_list(new QTreeWidget(this))
    , m_classList(new FrmClassList(session, this))
    , m_rebook(new QPushButton(tr("重新预约"), this))
    , m_enter(new QPushButton(tr("进    入"), this))
    , m_edit(new QPushButton(tr("修改信息"), this))
    , m_upload(new QPushButton(tr("修改后上传"), this))
{
    setObjectName(u"FrmSubscribe"_s);
    setWindowTitle(tr("预约的课程"));
    setWindowModality(Qt::WindowModal);
    ListColumns::setUp(m_list, Columns);
    m_edit->hide();
    m_upload->hide();
    m_edit->setEnabled(false);
    m_upload->setEnabled(false);
    m_enter->setAccessibleName(tr("进入"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_rebook);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_upload);
    buttons->addWidget(m_enter);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    resize(760, 360);
    connect(m_rebook, &QPushButton::clicked, m_classList, &QDialog::open);
    connect(m_enter, &QPushButton::clicked, this, &FrmSubscribe::pressEnter);
    connect(m_classList, &FrmClassList::booked, this, &FrmSubscribe::ReloadList);
}

void FrmSubscribe::prepareStudentView()
{
    setWindowTitle(tr("用户预约的课程"));
    m_rebook->show();
    m_edit->hide();
    bEnter = false;
}

void FrmSubscribe::ReloadList()
{
    QList<qint32> ids;
    for (const ListTexts::CourseRecord &course : std::as_const(m_session.BookedCourses))
        ids.append(course.CourseID);
    Q_EMIT listReloading(ids);
    m_list->clear();
    m_list->setSortingEnabled(false);
    int row = 0;
    for (const ListTexts::CourseRecord &course : std::as_const(m_session.BookedCourses)) {
        ++row;
        auto *item = new QTreeWidgetItem(m_list,
            {QString::number(course.CourseID), CourseNameOf(course), course.Description,
                course.Teacher, course.ClassTime, course.ServerAddress,
                QString::number(course.ServerPort), QString::number(course.CategoryID)});
        item->setData(0, Qt::UserRole, u"_"_s + QString::number(row));
        const ListTexts::CategoryRecord *category
            = findCategory(m_session.Categories, course.CategoryID);
        // A refused file name was emptied where the list was read.
        if (!category || category->WebHost.isEmpty() || course.FileName.isEmpty())
            continue;
        m_session.CurrentCoursewareFile = course.FileName;
        const QString url = CourseCatalogue::CoursewareUrl(*category, course.FileName);
        const int state = m_catalogue.CourseState(url, course.FileName);
        m_catalogue.WriteReloadEntry(url, course, state == 2);
    }
    m_list->setSortingEnabled(true);
    // One row: it is the one the student means.
    if (m_list->topLevelItemCount() == 1)
        m_list->setCurrentItem(m_list->topLevelItem(0));
}

bool FrmSubscribe::selectCourse(qint32 courseId)
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_list->topLevelItem(i);
        if (item->text(0).toInt() == courseId) {
            m_list->setCurrentItem(item);
            item->setSelected(true);
            return true;
        }
    }
    return false;
}

void FrmSubscribe::pressEnter()
{
    QTreeWidgetItem *row = nullptr;
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    if (!selected.isEmpty())
        row = selected.first();
    else
        row = m_list->currentItem();
    if (!row) {
        m_prompter.inform(tr("Lumo Class 系统提示："), tr("请选择一个课程"));
        return;
    }
    const qint32 id = row->text(0).toInt();
    ListTexts::CourseRecord chosen;
    for (const ListTexts::CourseRecord &course : std::as_const(m_session.BookedCourses)) {
        if (course.CourseID == id)
            chosen = course;
    }
    m_session.CurrentCourse = chosen;
    m_session.CurrentCoursewareFile = chosen.FileName;
    int index = -1;
    findCategory(m_session.Categories, chosen.CategoryID, &index);
    m_session.CurrentCategoryIndex = index;
    Q_EMIT enterPressed(id);
}
