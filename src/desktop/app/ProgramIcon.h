#pragma once
// The program's icon on its windows and in the taskbar.

#include <QIcon>
#include <QString>

namespace kinovex {

// The icon theme's "kinovex" (installed with the program into the hicolor theme), else the
// pictures in `programFolder`'s res/icons/ (kinovex-<size>.png), which the build draws too.
// Null when neither has one.
QIcon ProgramIcon(const QString& programFolder);

// Names the program's desktop file (kinovex.desktop) to the desktop and gives every window the
// program's icon; called once the application object exists.
void SetUpProgramIcon();

} // namespace kinovex
