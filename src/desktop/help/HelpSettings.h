#pragma once
// Where the website and update commands go. Both are settings in the program's settings file
// (group "Moviqa"), so a site move or a test's own server needs no new build; they are only
// read, never written back.

#include <QString>

namespace kinovex {

// "Website": the product page, opened by the website command and when a newer version exists.
inline constexpr char kDefaultWebsite[] = "https://www.kinovex.com/";
// "UpdateServer": the scheme and host (and port) that serve "/version.ini".
inline constexpr char kDefaultUpdateServer[] = "https://update.kinovex.com";

// The product page; the default when the setting is missing or empty.
QString WebsiteUrl();

// The URL of the update server's "/version.ini".
QString VersionFileUrl();

} // namespace kinovex
