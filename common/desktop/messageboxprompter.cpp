#include "common/desktop/messageboxprompter.h"

#include "common/errorlog.h"

#include <QHash>
#include <QInputDialog>
#include <QMessageBox>

#include <vector>

using namespace Qt::StringLiterals;

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

QString kindOf(const Prompt &prompt)
{
    return QString::number(int(prompt.icon)) + u'|' + QString::number(int(prompt.buttons)) + u'|'
        + prompt.title + QChar(0) + prompt.text;
}

} // namespace

struct MessageBoxPrompter::OpenBoxes {
    struct Box {
        QPointer<QMessageBox> box;
        // Callbacks of the repeats, answered with the box's answer.
        std::vector<std::function<void(PromptAnswer)>> waiting;
        qint64 repeats = 0;
    };
    QHash<QString, Box> byKind;
};

MessageBoxPrompter::MessageBoxPrompter(QWidget *parent)
    : m_parent(parent)
    , m_open(std::make_shared<OpenBoxes>())
{ }

void MessageBoxPrompter::setParentWidget(QWidget *parent)
{
    m_parent = parent;
}

void MessageBoxPrompter::show(const Prompt &prompt, std::function<void(PromptAnswer)> done)
{
    const QString kind = kindOf(prompt);
    const auto open = m_open->byKind.find(kind);
    if (open != m_open->byKind.end()) {
        if (open->box) {
            ++open->repeats;
            // Only callbacks are kept: a flood of plain information boxes
            // costs a counter, not memory.
            if (done)
                open->waiting.push_back(std::move(done));
            return;
        }
        // Destroyed with its parent, never answered: a new box stands in.
        m_open->byKind.erase(open);
    }

    auto *box = new QMessageBox(
        toIcon(prompt.icon), prompt.title, prompt.text, toButtons(prompt.buttons), m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_open->byKind.insert(kind, OpenBoxes::Box{box, {}, 0});
    const std::weak_ptr<OpenBoxes> boxes = m_open;
    QObject::connect(box, &QMessageBox::finished, box,
        [box, boxes, kind, title = prompt.title, text = prompt.text, done = std::move(done)](int) {
            auto *clicked = box->clickedButton();
            const PromptAnswer answer
                = toAnswer(clicked ? int(box->standardButton(clicked)) : int(QMessageBox::Cancel));
            // Taken out before any callback runs: a callback may show the
            // same prompt again, which then opens a new box.
            OpenBoxes::Box repeats;
            if (const auto shared = boxes.lock()) {
                const auto it = shared->byKind.find(kind);
                if (it != shared->byKind.end() && it->box == box) {
                    repeats = std::move(*it);
                    shared->byKind.erase(it);
                }
            }
            if (repeats.repeats > 0)
                Global::WriteErrorLog(u"Prompter"_s, u"MessageBox"_s,
                    u"shown once for %1 more requests while it was open: "_s.arg(repeats.repeats)
                        + title + u": "_s + text,
                    __LINE__);
            if (done)
                done(answer);
            for (const auto &waiting : repeats.waiting)
                waiting(answer);
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
