#pragma once

#include "common/desktop/lumodesktop_export.h"
#include "common/prompter.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Global {

// Window-modal QMessageBox / QInputDialog opened with open(): no nested
// event loop, the answer arrives through the callback.
//
// One box per kind: a prompt equal to one still open (same title, text,
// icon and buttons) opens no second box; its callback gets the answer the
// open box is given, and the repeats are counted in the error log when it
// closes. A server repeating a command cannot stack thousands of boxes.
class LUMODESKTOP_EXPORT MessageBoxPrompter : public Prompter
{
public:
    explicit MessageBoxPrompter(QWidget *parent = nullptr);
    void setParentWidget(QWidget *parent);

    void show(const Prompt &prompt, std::function<void(PromptAnswer)> done = {}) override;
    void askText(const QString &title, const QString &label, const QString &initial,
        std::function<void(bool, const QString &)> done) override;

private:
    struct OpenBoxes;

    QPointer<QWidget> m_parent;
    // Shared with the boxes' handlers, which may outlive this object.
    std::shared_ptr<OpenBoxes> m_open;
};

} // namespace Global
