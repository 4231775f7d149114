// Screenshots of real windows for the docs, taken on an X display by scripts/screenshots.sh.
#pragma once

#include <QString>

class QWidget;

namespace kinovex::test {

// The folder named by KINOVEX_SCREENSHOTS, created; empty when it is not set
// or the display is not an X server, where the screen cannot be read back.
QString ScreenshotFolder();

// Writes the part of the X screen the widget covers, as the user sees it, to `file`.
bool CaptureScreenArea(QWidget& widget, const QString& file);

} // namespace kinovex::test
