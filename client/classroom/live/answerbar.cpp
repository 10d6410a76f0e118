#include "client/classroom/live/answerbar.h"

#include <QAccessible>
#include <QChildEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace ClassLive {

AnswerBar::AnswerBar(QWidget *parent)
    : QWidget(parent)
    , m_text(new QLabel(this))
    , m_yes(new QPushButton(tr("是"), this))
    , m_no(new QPushButton(tr("否"), this))
    , m_okButton(new QPushButton(tr("确定"), this))
{
    setObjectName(u"answerBar"_s);
    // Its own background: the bar lies over the board and must not let the
    // pictures beneath show through its text.
    setAutoFillBackground(true);
    setAccessibleName(tr("老师的问题"));
    m_text->setObjectName(u"answerQuestion"_s);
    m_text->setTextFormat(Qt::PlainText);
    // No accessible name on the label: a named label hides its text from
    // screen readers, and the text is the question.
    m_text->setAccessibleDescription(tr("老师的问题"));
    m_yes->setObjectName(u"answerYes"_s);
    m_no->setObjectName(u"answerNo"_s);
    m_okButton->setObjectName(u"answerOk"_s);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(m_text, 1);
    row->addWidget(m_yes);
    row->addWidget(m_no);
    row->addWidget(m_okButton);
    connect(m_yes, &QPushButton::clicked, this, [this] { give(u"Yes"_s); });
    connect(m_no, &QPushButton::clicked, this, [this] { give(u"No"_s); });
    connect(m_okButton, &QPushButton::clicked, this, [this] { give(u"OK"_s); });
    describe();
    refresh();
}

void AnswerBar::attachTo(QWidget *board)
{
    if (!board || !board->parentWidget())
        return;
    if (m_board)
        m_board->removeEventFilter(this);
    m_board = board;
    QWidget *area = board->parentWidget();
    if (parentWidget() != area) {
        setParent(area);
        refresh(); // a new parent hides the widget
    }
    board->installEventFilter(this);
    // Siblings are raised one by one (the window's layout raises the
    // presentation and the drawing layer on every resize) and new ones are
    // born on top; each raise is seen on the sibling itself, a birth on the
    // parent.
    area->installEventFilter(this);
    for (QObject *child : area->children())
        watchSibling(child);
    place();
    keepOnTop();
}

void AnswerBar::watchSibling(QObject *child)
{
    if (child != this && child->isWidgetType())
        child->installEventFilter(this);
}

bool AnswerBar::eventFilter(QObject *watched, QEvent *event)
{
    if (m_board) {
        const QEvent::Type type = event->type();
        if (watched == m_board && (type == QEvent::Move || type == QEvent::Resize))
            place();
        if (watched == parentWidget() && type == QEvent::ChildAdded) {
            watchSibling(static_cast<QChildEvent *>(event)->child());
            keepOnTop();
        } else if (watched != this && watched->parent() == parentWidget()
            && type == QEvent::ZOrderChange) {
            keepOnTop();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AnswerBar::place()
{
    const QRect area = m_board->geometry();
    setGeometry(area.left(), area.bottom() - BarHeight + 1, area.width(), BarHeight);
}

void AnswerBar::keepOnTop()
{
    // The stacking order is the order of the widget children; other
    // children (timers, layouts) do not count.
    const QObjectList &siblings = parentWidget()->children();
    for (auto it = siblings.crbegin(); it != siblings.crend(); ++it) {
        if ((*it)->isWidgetType()) {
            // raise() sends this bar its own z-order event, not its
            // siblings: no loop.
            if (*it != this)
                raise();
            return;
        }
    }
}

void AnswerBar::setYesNoSwitch(bool on)
{
    m_yesNo = on;
    refresh();
}

void AnswerBar::setOkSwitch(bool on)
{
    m_ok = on;
    refresh();
}

void AnswerBar::setQuestion(const QString &text)
{
    if (text == m_text->text())
        return;
    m_text->setText(text);
    describe();
    if (!isHidden())
        announce();
}

QString AnswerBar::question() const
{
    return m_text->text();
}

void AnswerBar::give(const QString &answer)
{
    m_answer = answer;
    Q_EMIT answered();
}

void AnswerBar::describe()
{
    // A reader that lands on a button hears what it answers.
    const QString question = m_text->text();
    setAccessibleDescription(question);
    const QString about
        = question.isEmpty() ? tr("回答老师的问题") : tr("老师的问题：%1").arg(question);
    for (QPushButton *button : {m_yes, m_no, m_okButton})
        button->setAccessibleDescription(about);
}

void AnswerBar::announce()
{
    QAccessibleEvent text(m_text, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&text);
    QAccessibleEvent description(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&description);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void AnswerBar::refresh()
{
    m_yes->setVisible(m_yesNo);
    m_no->setVisible(m_yesNo);
    m_okButton->setVisible(m_ok);
    const bool open = m_yesNo || m_ok;
    const bool appearing = open && isHidden();
    setVisible(open);
    if (open && m_board)
        keepOnTop();
    if (appearing)
        announce();
}

} // namespace ClassLive
