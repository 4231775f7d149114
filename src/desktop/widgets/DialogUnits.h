#pragma once
// Dialog units turned into pixels, the same way for every dialog of the program.
//
// Dialog layouts are given in dialog units: a quarter of the dialog font's average character
// width horizontally and an eighth of its line height vertically. Measuring the font at run
// time would let each machine's font choice reshape every dialog, so the program fixes the
// base units once for its dialog font (10 point at 96 dots per inch: 13-pixel letters on a
// 16-pixel line, 7 pixels average width) and sizes that font in pixels to match.

#include <QFont>
#include <QRect>

namespace kinovex {

constexpr int kDialogBaseUnitX = 7;  // average character width of the dialog font, pixels
constexpr int kDialogBaseUnitY = 16; // line height of the dialog font, pixels
constexpr int kDialogFontPixels = 13;

// Rounded to the nearest pixel, halves away from zero, as dialog templates have always been.
constexpr int DluToPixelsX(int dlu) {
    const int scaled = dlu * kDialogBaseUnitX;
    return scaled >= 0 ? (scaled + 2) / 4 : -((-scaled + 2) / 4);
}
constexpr int DluToPixelsY(int dlu) {
    const int scaled = dlu * kDialogBaseUnitY;
    return scaled >= 0 ? (scaled + 4) / 8 : -((-scaled + 4) / 8);
}

// A control's rectangle from its template position and size, all in dialog units. The edges
// are converted, not the size, so controls that share an edge in the template still share it.
constexpr QRect DialogRect(int x, int y, int width, int height) {
    const int left = DluToPixelsX(x);
    const int top = DluToPixelsY(y);
    return QRect(left, top, DluToPixelsX(x + width) - left, DluToPixelsY(y + height) - top);
}

// The dialog font: Tahoma where it is installed, the desktop's sans-serif face otherwise,
// always at the pixel size the base units were fixed for.
inline QFont DialogFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kDialogFontPixels);
    return font;
}

} // namespace kinovex
