#pragma once

#include <QtGlobal>

#include <array>

namespace ToolPalette {

// The twenty swatch colours, row by row as the tall 5 x 4 grid shows them;
// the wide strip shows them in the same order. Values are red in the low
// byte, then green, then blue.
constexpr quint32 Rgb(quint32 red, quint32 green, quint32 blue)
{
    return red + 256 * green + 65536 * blue;
}

constexpr int kGridColumns = 5;
constexpr int kGridRows = 4;
constexpr int kSwatchCount = kGridColumns * kGridRows;
// A swatch cell is 285 twips square (19 pixels at 15 twips a pixel).
constexpr int kSwatchTwips = 285;
constexpr int kTwipsPerPixel = 15;
constexpr int kSwatchPixels = kSwatchTwips / kTwipsPerPixel;

constexpr std::array<quint32, kSwatchCount> kSwatchColors = {Rgb(255, 0, 0), Rgb(255, 255, 0),
    Rgb(0, 255, 0), Rgb(0, 255, 255), Rgb(0, 0, 255), Rgb(121, 0, 0), Rgb(247, 148, 29),
    Rgb(0, 166, 81), Rgb(0, 174, 239), Rgb(51, 51, 153), Rgb(255, 0, 255), Rgb(135, 129, 189),
    Rgb(198, 156, 109), Rgb(204, 204, 204), Rgb(255, 255, 255), Rgb(236, 0, 140), Rgb(102, 45, 145),
    Rgb(96, 57, 19), Rgb(75, 75, 75), Rgb(0, 0, 0)};

// The swatch under a point of a picture `columns` x `rows` cells large,
// in twips from its top-left corner; -1 between or beyond the cells.
constexpr int SwatchAt(int xTwips, int yTwips, int columns, int rows)
{
    if (xTwips < 0 || yTwips < 0)
        return -1;
    const int column = xTwips / kSwatchTwips;
    const int row = yTwips / kSwatchTwips;
    if (column >= columns || row >= rows)
        return -1;
    return row * columns + column;
}

} // namespace ToolPalette
