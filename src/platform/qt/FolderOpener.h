#pragma once
// Opening a folder in the desktop's file manager, or a web page or file in the user's program
// for it.
//
// Everything the program opens this way goes through here, so a test can install a hook that
// records the folder instead of starting a file manager.

#include <QString>

#include <functional>

namespace kinovex {

// Asks the desktop to open `folder` (the shell's "open" verb: a file-manager window). False if
// the desktop reported that it could not.
bool OpenFolder(const QString& folder);

// Asks the desktop to open `url` (a web page, or a file:// URL) in the user's program for it,
// the browser for web pages. False if the desktop reported that it could not.
bool OpenUrl(const QString& url);

// While a hook is installed, OpenFolder and OpenUrl call it instead and return its result.
using FolderOpenerHook = std::function<bool(const QString& folder)>;
void SetFolderOpenerHook(FolderOpenerHook hook);

} // namespace kinovex
