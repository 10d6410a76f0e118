#include "client/classroom/live/answerbar.h"

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
    m_text->setObjectName(u"answerQuestion"_s);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setAccessibleName(tr("老师的问题"));
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
    refresh();
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
    m_text->setText(text);
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

void AnswerBar::refresh()
{
    m_yes->setVisible(m_yesNo);
    m_no->setVisible(m_yesNo);
    m_okButton->setVisible(m_ok);
    setVisible(m_yesNo || m_ok);
}

} // namespace ClassLive
