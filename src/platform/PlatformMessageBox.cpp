#include "platform/PlatformMessageBox.h"

#include "platform/HookSlot.h"

#include <cstdio>

namespace kinovex {
namespace {

HookSlot<void(const std::string&, const std::string&, MessageBoxIcon)> g_callback;

} // namespace

void SetMessageBoxCallback(MessageBoxCallback callback) {
    g_callback.Set(std::move(callback));
}

void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxIcon icon) {
    if (const MessageBoxCallback callback = g_callback.Get()) {
        callback(text, caption, icon);
        return;
    }
    // Without a window side (headless tools) the text still reaches the user.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

} // namespace kinovex
