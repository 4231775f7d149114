#pragma once
// The user's folders and the settings file.

#include <QString>

namespace kinovex {

// The user's documents folder (XDG), without a trailing separator; empty when unknown.
// KINOVEX_DOCUMENTS replaces it.
QString DocumentsFolder();

// The INI file that holds the program's settings: ~/.config/Tessaline/<program name>.conf.
// KINOVEX_SETTINGS replaces it with a file path of its own.
QString SettingsFilePath();

} // namespace kinovex
