#pragma once
// The program's bitmaps, by resource id.
//
// Bitmap n is the file res/bitmaps/n.png in the program folder, so the artwork can be redrawn
// and replaced without building the program again.

#include <QPixmap>
#include <QString>

namespace kinovex {

// The file that holds bitmap `id`.
QString BitmapPath(int id);

// Bitmap `id`, or a null pixmap (with a warning on the log) when its file is missing or
// unreadable; the windows then draw without it rather than failing.
QPixmap LoadBitmap(int id);

} // namespace kinovex
