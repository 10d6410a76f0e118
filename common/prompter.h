#pragma once

#include "common/lumoglobal_export.h"

#include <QList>
#include <QString>

#include <functional>

namespace Global {

enum class PromptIcon { None, Information, Warning, Critical, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class PromptAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct Prompt {
    QString title;
    QString text;
    PromptIcon icon = PromptIcon::Information;
    PromptButtons buttons = PromptButtons::Ok;
};

// Every message box and question of the program goes through this
// interface, so tests and headless runs answer them without a person.
// Answers arrive through `done`, possibly before show() returns (a scripted
// prompter answers at once); callers must not rely on either order.
class LUMOGLOBAL_EXPORT Prompter
{
public:
    virtual ~Prompter();
    virtual void show(const Prompt &prompt, std::function<void(PromptAnswer)> done = {}) = 0;
    // A one-line text question; `done` gets false when the user cancels.
    virtual void askText(const QString &title, const QString &label, const QString &initial,
        std::function<void(bool, const QString &)> done)
        = 0;

    // A plain information box, answered by its one button.
    void inform(
        const QString &title, const QString &text, PromptIcon icon = PromptIcon::Information);
};

// Answers from a queue (the default answer once it is empty) and keeps every
// prompt it was shown: for tests and for headless runs.
class LUMOGLOBAL_EXPORT ScriptedPrompter : public Prompter
{
public:
    void show(const Prompt &prompt, std::function<void(PromptAnswer)> done = {}) override;
    void askText(const QString &title, const QString &label, const QString &initial,
        std::function<void(bool, const QString &)> done) override;

    QList<Prompt> shown;
    QList<PromptAnswer> answers;
    PromptAnswer defaultAnswer = PromptAnswer::Ok;
    QList<QString> textAnswers; // an empty queue cancels text questions
    // Called for every prompt after it is recorded (headless runs print it).
    std::function<void(const Prompt &)> onShown;
};

} // namespace Global
