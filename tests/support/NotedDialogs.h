#pragma once
// Desktop dialogs for tests: each box and each folder or page to open goes to the test's
// function instead of the desktop; a box is answered at once.

#include "platform/qt/DesktopDialogs.h"

#include <functional>

namespace kinovex::test {

class NotedDialogs final : public DesktopDialogs {
public:
    std::function<void(const QString& text, const QString& title)> onBox;
    // What opening answers; without a function every opening succeeds.
    std::function<bool(const QString& target)> onOpen;

    bool OpenFolder(const QString& folder) override { return Open(folder); }
    bool OpenUrl(const QString& url) override { return Open(url); }

protected:
    void ShowBox(const QString& text, const QString& title, QWidget* /*parent*/) override {
        if (onBox)
            onBox(text, title);
    }

private:
    bool Open(const QString& target) { return onOpen ? onOpen(target) : true; }
};

} // namespace kinovex::test
