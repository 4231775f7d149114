#pragma once
// Opening a folder in the desktop's file manager.
//
// Everything the program opens this way goes through here, so a test can install a hook that
// records the folder instead of starting a file manager.

#include <QString>

#include <functional>

namespace kinovex {

// Asks the desktop to open `folder` (the shell's "open" verb: a file-manager window). False if
// the desktop reported that it could not.
bool OpenFolder(const QString& folder);

// While a hook is installed, OpenFolder calls it instead and returns its result.
using FolderOpenerHook = std::function<bool(const QString& folder)>;
void SetFolderOpenerHook(FolderOpenerHook hook);

} // namespace kinovex
