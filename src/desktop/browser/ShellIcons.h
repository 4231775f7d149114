#pragma once
// The icons of the browser: folders, drives, network places and movie files, taken from the
// desktop's icon theme with drawn stand-ins where the theme has none.

#include "platform/Drives.h"

#include <QIcon>
#include <QSize>
#include <QString>

namespace kinovex {

QSize SmallIconSize(); // the folder tree's
QSize LargeIconSize(); // the movie list's

// A movie file's icon: its type's icon from the theme, or a generic video icon.
QIcon MovieFileIcon(const QString& path);

QIcon FolderIcon(bool open);
QIcon DriveIcon(DriveType type);
// Named places: "home", "documents", "computer", "network", "server", "workgroup", "share".
QIcon PlaceIcon(const QString& place);

// `icon` with the share emblem in its lower left corner.
QIcon WithShareOverlay(const QIcon& icon);

} // namespace kinovex
