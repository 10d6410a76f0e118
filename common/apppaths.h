#pragma once

#include "common/lumoglobal_export.h"

#include <QString>

namespace Global {

// Read-only program files (the companion program, the voice engine, the
// help page) lie next to the executable.
LUMOGLOBAL_EXPORT QString ApplicationFolder();

// Writable data (the Course folder, the course manager's temporary folder)
// lies in the per-user data folder: $LUMO_DATA_DIR when set, else
// ~/.local/share/LumoClass.
LUMOGLOBAL_EXPORT QString DataFolder();

// The courseware folder, always with a trailing separator.
LUMOGLOBAL_EXPORT QString CourseFolder();

// The folder where courseware entries are expanded, with a trailing separator.
LUMOGLOBAL_EXPORT QString TempFolder();

// `path` with exactly one trailing "/" added when it has none.
LUMOGLOBAL_EXPORT QString WithTrailingSeparator(const QString &path);

} // namespace Global
