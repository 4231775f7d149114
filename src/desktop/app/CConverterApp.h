#pragma once
// The application object: the program's whole run, from the encoder check to the clean-up of
// the temporary folder.

#include "desktop/mainwindow/DesktopServices.h"

#include <QString>

namespace kinovex {

class CConverterApp {
public:
    // `services` are the main window's.
    explicit CConverterApp(MainWindowServices services = DesktopMainWindowServices());

    // Runs the program: prepares the folders, loads the settings, runs the main window
    // modally, stores the settings and empties the temporary folder. Always returns false,
    // as there is nothing left to run after it.
    bool InitInstance();

    // The program's folder without a trailing separator; also the current directory.
    QString m_strAppFolder;
    // The movie named on the command line, as an absolute path; empty for none. The main
    // window opens on the browser with it selected, or says why it cannot be opened.
    QString m_strStartMovie;

private:
    MainWindowServices m_services;
};

// The one application object of the process, for the parts that build paths from the
// program folder. Null before it is constructed.
CConverterApp* AfxGetApp();

// Deletes every entry of `folder` that is not a directory, then removes `folder` itself
// if nothing is left in it. Errors are ignored: this is housekeeping.
void EmptyAndRemoveFolder(const QString& folder);

} // namespace kinovex
