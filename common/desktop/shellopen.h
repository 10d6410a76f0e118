#pragma once

#include "common/desktop/lumodesktop_export.h"
#include "common/prompter.h"

#include <QString>

namespace Global {

// Shell-style results: above 32 is success.
enum ShellOpenResult : int {
    ShellFileNotFound = 2,
    ShellPathNotFound = 3,
    ShellAccessDenied = 5,
    ShellOutOfMemory = 8,
    ShellNoAssociation = 31,
    ShellOpened = 42,
};

// Opens a program (started detached in its own folder), a document (with
// its desktop application) or a web or "mailto:" address. A failure is
// shown through `prompter` with its fixed text and returned.
LUMODESKTOP_EXPORT int ShellOpenFile(const QString &path, int showCode, Prompter &prompter);

// The message for a failed result, empty for success.
LUMODESKTOP_EXPORT QString ShellOpenFailureText(int result);

} // namespace Global
