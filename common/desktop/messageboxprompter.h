#pragma once

#include "common/desktop/lumodesktop_export.h"
#include "common/prompter.h"

#include <QPointer>
#include <QWidget>

namespace Global {

// Window-modal QMessageBox / QInputDialog opened with open(): no nested
// event loop, the answer arrives through the callback.
class LUMODESKTOP_EXPORT MessageBoxPrompter : public Prompter
{
public:
    explicit MessageBoxPrompter(QWidget *parent = nullptr);
    void setParentWidget(QWidget *parent);

    void show(const Prompt &prompt, std::function<void(PromptAnswer)> done = {}) override;
    void askText(const QString &title, const QString &label, const QString &initial,
        std::function<void(bool, const QString &)> done) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace Global
