#include "common/desktop/messageboxprompter.h"

#include <QInputDialog>
#include <QMessageBox>

namespace Global {

namespace {

QMessageBox::Icon toIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::None: return QMessageBox::NoIcon;
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Critical: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toButtons(PromptButtons buttons)
{
    switch (buttons) {
    case PromptButtons::Ok: return QMessageBox::Ok;
    case PromptButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case PromptButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case PromptButtons::AbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

PromptAnswer toAnswer(int button)
{
    switch (button) {
    case QMessageBox::Yes: return PromptAnswer::Yes;
    case QMessageBox::No: return PromptAnswer::No;
    case QMessageBox::Cancel: return PromptAnswer::Cancel;
    case QMessageBox::Retry: return PromptAnswer::Retry;
    case QMessageBox::Abort: return PromptAnswer::Abort;
    case QMessageBox::Ignore: return PromptAnswer::Ignore;
    default: return PromptAnswer::Ok;
    }
}

} // namespace

MessageBoxPrompter::MessageBoxPrompter(QWidget *parent)
    : m_parent(parent)
{ }

void MessageBoxPrompter::setParentWidget(QWidget *parent)
{
    m_parent = parent;
}

void MessageBoxPrompter::show(const Prompt &prompt, std::function<void(PromptAnswer)> done)
{
    auto *box = new QMessageBox(
        toIcon(prompt.icon), prompt.title, prompt.text, toButtons(prompt.buttons), m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, done = std::move(done)](int) {
        if (done) {
            auto *clicked = box->clickedButton();
            const int button
                = clicked ? int(box->standardButton(clicked)) : int(QMessageBox::Cancel);
            done(toAnswer(button));
        }
    });
    box->open();
}

void MessageBoxPrompter::askText(const QString &title, const QString &label, const QString &initial,
    std::function<void(bool, const QString &)> done)
{
    auto *dialog = new QInputDialog(m_parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    dialog->setLabelText(label);
    dialog->setTextValue(initial);
    QObject::connect(
        dialog, &QInputDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
            if (done)
                done(result == QDialog::Accepted, dialog->textValue());
        });
    dialog->open();
}

} // namespace Global
