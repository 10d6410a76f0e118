#pragma once

#include <QIcon>
#include <QPixmap>

namespace ToolPalette {

// Pictures of the seven tool buttons, by button index (0 = no tool), drawn
// at the screen's pixel ratio in the ink of the current palette.
QIcon ToolIcon(int index);
// The line-width pictures "LineWidth1" ... "LineWidth8", likewise.
QIcon LineWidthIcon(int width);
// One line-width picture at 1x in the current palette's ink.
QPixmap LineWidthPicture(int width);

} // namespace ToolPalette
