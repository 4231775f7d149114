#pragma once
// What the windows ask of the desktop: message boxes with a fixed text and an OK button, and
// opening a folder in the file manager or a page or file in the user's program for it.
//
// Every box the program shows and everything it opens goes through the dialogs a window was
// given, so a test gives ones that note the texts and answer at once, without a window.

#include <QString>

class QWidget;

namespace kinovex {

class DesktopDialogs {
public:
    virtual ~DesktopDialogs() = default;

    // Shows `text` with an OK button and waits for it; `caption` defaults to the program's name.
    void MessageBox(const QString& text, QWidget* parent = nullptr, const QString& caption = {});

    // Asks the desktop to open `folder` (a file-manager window). False if the desktop reported
    // that it could not.
    virtual bool OpenFolder(const QString& folder) = 0;
    // Asks the desktop to open `url` (a web page, or a file:// URL) in the user's program for
    // it. False if the desktop reported that it could not.
    virtual bool OpenUrl(const QString& url) = 0;

protected:
    virtual void ShowBox(const QString& text, const QString& title, QWidget* parent) = 0;
};

// The desktop's own: QMessageBox and QDesktopServices.
class QtDesktopDialogs final : public DesktopDialogs {
public:
    bool OpenFolder(const QString& folder) override;
    bool OpenUrl(const QString& url) override;

protected:
    void ShowBox(const QString& text, const QString& title, QWidget* parent) override;
};

} // namespace kinovex
