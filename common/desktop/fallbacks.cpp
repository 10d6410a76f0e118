#include "common/desktop/fallbacks.h"

#include "common/desktop/dialogfilechooser.h"
#include "common/desktop/messageboxprompter.h"

namespace Global {

PrompterSlot::PrompterSlot(QWidget *window)
    : m_window(window)
{ }

PrompterSlot::~PrompterSlot() = default;

void PrompterSlot::set(Prompter *prompter)
{
    m_given = prompter;
}

Prompter &PrompterSlot::get()
{
    if (m_given)
        return *m_given;
    if (!m_fallback)
        m_fallback = std::make_unique<MessageBoxPrompter>(m_window);
    return *m_fallback;
}

FileChooserSlot::FileChooserSlot() = default;

FileChooserSlot::~FileChooserSlot() = default;

void FileChooserSlot::set(FileChooser *chooser)
{
    m_given = chooser;
}

FileChooser &FileChooserSlot::get()
{
    if (m_given)
        return *m_given;
    if (!m_fallback)
        m_fallback = std::make_unique<DialogFileChooser>();
    return *m_fallback;
}

} // namespace Global
