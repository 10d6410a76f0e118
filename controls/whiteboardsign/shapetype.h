#pragma once

#include <QtGlobal>

namespace WhiteBoard {

// Kinds of sign. The values travel in whiteboard messages between peers:
// append only.
enum ShapeType : qint16 {
    stRectangle = 0,
    stSquare = 1,
    stOval = 2,
    stCircle = 3,
    stRoundedRectangle = 4,
    stRoundedSquare = 5,
    stLine = 6,
    stText = 7,
    stArrow = 8,
};

// The layer keeps one numbered element list per kind of element; the six
// outline shapes share one list.
enum class ElementKind { Shape, Line, Label, Arrow, None };

constexpr ElementKind ElementKindOf(int shape)
{
    if (shape >= stRectangle && shape <= stRoundedSquare)
        return ElementKind::Shape;
    switch (shape) {
    case stLine: return ElementKind::Line;
    case stText: return ElementKind::Label;
    case stArrow: return ElementKind::Arrow;
    default: return ElementKind::None;
    }
}

// Host coordinates are twips; the screen has 15 of them to a pixel.
constexpr int kTwipsPerPixel = 15;

} // namespace WhiteBoard
