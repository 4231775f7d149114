#pragma once
// The Qt side of the services the Qt-free layers are given: message boxes that workers show,
// and the event processing of the user-interface thread while it waits for a worker.

#include "platform/PlatformMessageBox.h"
#include "platform/UiEventPump.h"
#include "platform/qt/DesktopDialogs.h"

#include <memory>

namespace kinovex {

// Processes the user-interface thread's events while it waits.
class CQtUiEventPump final : public CUiEventPump {
public:
    void ProcessEventsUntil(const std::function<bool()>& done) override;
    void Wake() override;
};

// Shows the box on the user-interface thread (through `dialogs`) without blocking a caller on
// another thread.
class CQtMessageBoxService final : public MessageBoxService {
public:
    explicit CQtMessageBoxService(std::shared_ptr<DesktopDialogs> dialogs)
        : m_dialogs(std::move(dialogs)) {}
    void Show(const std::string& text, const std::string& caption, MessageBoxIcon icon) override;

private:
    std::shared_ptr<DesktopDialogs> m_dialogs;
};

} // namespace kinovex
