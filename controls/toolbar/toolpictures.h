#pragma once

#include <QIcon>
#include <QPixmap>

namespace ToolPalette {

// Pictures of the seven tool buttons, by button index (0 = no tool).
QIcon ToolIcon(int index);
// The line-width pictures "LineWidth1" ... "LineWidth8".
QPixmap LineWidthPicture(int width);

} // namespace ToolPalette
