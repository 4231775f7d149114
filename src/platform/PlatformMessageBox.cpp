#include "platform/PlatformMessageBox.h"

#include <cstdio>
#include <mutex>

namespace kinovex {
namespace {

std::mutex g_callbackMutex;
MessageBoxCallback g_callback;

} // namespace

void SetMessageBoxCallback(MessageBoxCallback callback) {
    std::lock_guard lock(g_callbackMutex);
    g_callback = std::move(callback);
}

void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon) {
    MessageBoxCallback callback;
    {
        std::lock_guard lock(g_callbackMutex);
        callback = g_callback;
    }
    if (callback) {
        callback(text, caption, icon);
        return;
    }
    // Without a window side (headless tools) the text still reaches the user.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

} // namespace kinovex
