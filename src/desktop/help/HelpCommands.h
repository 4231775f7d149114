#pragma once
// The main window's informational commands: the about box, the manual, the website and the
// check for a newer version. All run on the user-interface thread and change nothing in the
// program's state; `dialogs` shows their boxes and opens their pages.

class QWidget;

namespace kinovex {

class DesktopDialogs;

// Shows the about box modally over `owner` until a click, Enter or Escape closes it.
void ShowAboutBox(QWidget* owner);

// Opens help.html from the program folder in the user's browser, or says "Cannot find help
// file." when it is not there. Returns at once; a browser that fails to start is not reported.
void ShowHelp(DesktopDialogs& dialogs, QWidget* owner);

// Opens the product page (the setting "Website") in the user's browser. Returns at once.
void OpenWebsite(DesktopDialogs& dialogs);

// Fetches "/version.ini" from the update server (the setting "UpdateServer") into the program
// folder (the user's cache folder when the program folder cannot be written) and tells the
// user whether a newer version exists; for one it also opens the product page. The window does
// not respond to input while the file is fetched.
void CheckForUpdate(DesktopDialogs& dialogs, QWidget* owner);

} // namespace kinovex
