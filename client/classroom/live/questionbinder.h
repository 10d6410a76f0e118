#pragma once

#include <QObject>

class clsRemoteSync;

namespace ClassLive {

class AnswerBar;
class ClassEventGate;

// The teacher's yes/no and OK questions and the student's answers.
class QuestionBinder : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
        ClassEventGate &gate;
        AnswerBar &bar;
    };

    explicit QuestionBinder(Deps deps, QObject *parent = nullptr);

private:
    void onAnswered();

    Deps m;
};

} // namespace ClassLive
