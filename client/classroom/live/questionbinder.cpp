#include "client/classroom/live/questionbinder.h"

#include "client/classroom/live/answerbar.h"
#include "client/classroom/live/classeventgate.h"
#include "protocol/clsremotesync.h"

using namespace Qt::StringLiterals;

namespace ClassLive {

QuestionBinder::QuestionBinder(Deps deps, QObject *parent)
    : QObject(parent)
    , m(deps)
{
    connect(&m.gate, &ClassEventGate::GetMsgYESNOPrompt, this, [this](qint32, const QString &text) {
        m.bar.setQuestion(text);
        m.bar.setYesNoSwitch(true);
        m.bar.setOkSwitch(false);
    });
    connect(&m.gate, &ClassEventGate::GetMsgOKPrompt, this, [this](qint32, const QString &text) {
        m.bar.setQuestion(text);
        m.bar.setOkSwitch(true);
        m.bar.setYesNoSwitch(false);
    });
    connect(&m.bar, &AnswerBar::answered, this, &QuestionBinder::onAnswered);
}

void QuestionBinder::onAnswered()
{
    const QString answer = m.bar.Answer();
    if (answer == u"Yes"_s || answer == u"No"_s) {
        m.remote.SendAnswerMsg(answer == u"Yes"_s);
        m.bar.setYesNoSwitch(false);
    } else if (answer == u"OK"_s) {
        m.remote.SendOKAnswerMsg(true);
        m.bar.setOkSwitch(false);
    }
}

} // namespace ClassLive
