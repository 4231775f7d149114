#pragma once
// Message boxes for code that must not depend on the window toolkit.
//
// Workers such as the sound capture report fatal problems with a message box. They call
// ShowMessageBox; the window side installs the callback that really shows the box (and must
// hand it to its own thread, since the caller may be a worker). Tests install a callback that
// records the texts.

#include <functional>
#include <string>

namespace kinovex {

enum class MessageBoxIcon { None, Error };

using MessageBoxCallback =
    std::function<void(const std::string& text, const std::string& caption, MessageBoxIcon icon)>;

// Replaces the callback; an empty one restores the default, which writes the text to stderr.
void SetMessageBoxCallback(MessageBoxCallback callback);

// Safe from any thread. Calls the installed callback on the calling thread.
void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon);

} // namespace kinovex
