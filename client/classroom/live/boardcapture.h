#pragma once

#include <QPixmap>

class WhiteBoardOLE;

namespace ClassLive {

// What the presentation area really shows, as one picture: the page or
// picture, the web view's rendering and the current video frame (a video
// surface is not part of a widget grab, so its frame is painted in).
QPixmap CaptureBoard(WhiteBoardOLE &ole);

} // namespace ClassLive
