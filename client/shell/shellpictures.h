#pragma once

#include <QIcon>

// The main window's image lists, drawn in code. Indices count from 1 as the
// window's callers name them.
namespace ShellPictures {

// Status pictures: 1 active (green), 2 inactive (grey).
QIcon ImageList2(int index);
// Hand pictures: 1 hand down, 2 hand up, 3 the send-mail picture.
QIcon ImageListHand(int index);
// The product logo.
QPixmap Logo();
// The toolbar's buttons: connect (a tick), disconnect (a cross), refresh
// (a turning arrow).
QIcon ConnectIcon();
QIcon DisconnectIcon();
QIcon RefreshIcon();
// The chevron of a menu bar's or toolbar's overflow button.
QIcon ExtensionIcon(Qt::Orientation orientation);

} // namespace ShellPictures
