#pragma once

#include "common/desktop/lumodesktop_export.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace Global {

// Folder of the compiled translations that every library with user-visible
// texts embeds (one "<library>_<language>.qm" each, see the CMake function
// lumo_add_translations).
inline constexpr char16_t TranslationFolder[] = u":/i18n";

// Called once at start, after the application object exists. Installs, for
// every embedded translation, the one that matches the locale's languages
// (an English locale takes English); where none matches, the program shows
// its Chinese source texts unchanged. Qt's own texts (standard buttons)
// follow the same choice when Qt's translations are installed. Answers the
// files installed, by name ("aulix_userlist_en.qm" ...); empty means Chinese.
LUMODESKTOP_EXPORT QStringList InstallTranslators(const QLocale &locale = QLocale::system());

// Removes what InstallTranslators installed (tests switch languages).
LUMODESKTOP_EXPORT void RemoveTranslators();

} // namespace Global
