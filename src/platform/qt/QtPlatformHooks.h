#pragma once
// Connects the Qt-free layers to the windows: message boxes that workers show, and the event
// processing of the user-interface thread while it waits for a worker.

namespace kinovex {

// Call once on the user-interface thread after the QApplication exists. Message boxes asked
// for on another thread are shown on the user-interface thread without blocking the asker.
void InstallQtPlatformHooks();
// Removes both again (before the QApplication goes away).
void RemoveQtPlatformHooks();

} // namespace kinovex
