#pragma once

#include "common/desktop/lumodesktop_export.h"

#include <QString>
#include <QStringList>

namespace Global {

// The installed Simplified-Chinese faces that stand in for a classic Chinese
// face name ("宋体", "SimSun", "黑体", "楷体" ...), best first; empty for a
// name that is not one of them or when no such face is installed.
LUMODESKTOP_EXPORT QStringList ChineseFaceSubstitutes(const QString &family);

// Called once at start, after the application object exists. Maps the
// classic Chinese face names to the installed Simplified-Chinese faces, and
// puts a Simplified-Chinese face behind the application's font and the
// generic families, so Han characters take their Simplified-Chinese forms
// whatever the locale (an English desktop would otherwise fall back to the
// Japanese forms). Returns the Simplified-Chinese sans face used, empty
// when none is installed.
LUMODESKTOP_EXPORT QString InstallChineseFonts();

} // namespace Global
