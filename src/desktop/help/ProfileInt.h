#pragma once
// Reading one whole number from an INI file the way the update server's files are written.

#include <QString>

namespace kinovex {

// The number under `key` in section `section` of the INI file at `path`, or `defaultValue`
// when the file, the section or the key is missing. Section and key names match without
// regard to letter case; the value is its leading whole number ("101 ; beta" is 101), and a
// value that does not start with one reads as 0. The file is read afresh on every call.
int ReadProfileInt(const QString& path, const QString& section, const QString& key,
                   int defaultValue);

} // namespace kinovex
