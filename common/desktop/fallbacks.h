#pragma once

#include "common/desktop/lumodesktop_export.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Global {

class FileChooser;
class Prompter;

// What a window asks through: the prompter its host gave (not owned) or,
// when the host gave none, window-modal message boxes over the window, made
// at the first question. Every window that asks keeps one of these rather
// than making a fallback of its own.
class LUMODESKTOP_EXPORT PrompterSlot
{
public:
    explicit PrompterSlot(QWidget *window);
    ~PrompterSlot();
    PrompterSlot(const PrompterSlot &) = delete;
    PrompterSlot &operator=(const PrompterSlot &) = delete;

    // nullptr goes back to message boxes.
    void set(Prompter *prompter);
    Prompter &get();

private:
    QPointer<QWidget> m_window;
    Prompter *m_given = nullptr;
    std::unique_ptr<Prompter> m_fallback;
};

// The same for file choices: the host's chooser or file dialogs.
class LUMODESKTOP_EXPORT FileChooserSlot
{
public:
    FileChooserSlot();
    ~FileChooserSlot();
    FileChooserSlot(const FileChooserSlot &) = delete;
    FileChooserSlot &operator=(const FileChooserSlot &) = delete;

    void set(FileChooser *chooser);
    FileChooser &get();

private:
    FileChooser *m_given = nullptr;
    std::unique_ptr<FileChooser> m_fallback;
};

} // namespace Global
