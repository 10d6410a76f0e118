#include "common/prompter.h"

namespace Global {

Prompter::~Prompter() = default;

void Prompter::inform(const QString &title, const QString &text, PromptIcon icon)
{
    show(Prompt{title, text, icon, PromptButtons::Ok});
}

void ScriptedPrompter::show(const Prompt &prompt, std::function<void(PromptAnswer)> done)
{
    shown.append(prompt);
    if (onShown)
        onShown(prompt);
    const PromptAnswer answer = answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    if (done)
        done(answer);
}

void ScriptedPrompter::askText(const QString &title, const QString &label, const QString &initial,
    std::function<void(bool, const QString &)> done)
{
    shown.append(Prompt{title, label, PromptIcon::Question, PromptButtons::OkCancel});
    if (onShown)
        onShown(shown.last());
    if (textAnswers.isEmpty()) {
        if (done)
            done(false, initial);
        return;
    }
    const QString answer = textAnswers.takeFirst();
    if (done)
        done(true, answer);
}

} // namespace Global
