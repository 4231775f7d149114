#pragma once
// The services the desktop program gives its main window: the desktop's message boxes and
// opener, the sound server's capture, Qt's event pump, the conversion window as the encoder
// step, the sound server's recording inputs and the volume control.

#include "core/record/RecordingRun.h"
#include "desktop/browser/UserMounts.h"
#include "platform/Drives.h"
#include "platform/qt/DesktopDialogs.h"

#include <functional>
#include <string>
#include <vector>

namespace kinovex {

// The sound server's recording inputs and the selected one, for the start-up check.
using RecordingInputQuery = std::function<void(std::vector<std::string>& names, int& current)>;
// Starts the recording-volume control.
using VolumeControlStarter = std::function<void()>;

struct MainWindowServices {
    std::shared_ptr<DesktopDialogs> dialogs;
    RecordingServices recording;
    RecordingInputQuery recordingInputs;
    VolumeControlStarter volumeControl;
    std::string tempFolder; // where recordings make their temporary files, chosen at start
    // What the folder tree shows under Computer; null for the system's own (tests and the
    // pictures of the docs give made-up ones).
    std::function<std::vector<DriveInfo>()> drives;
    UserMountLister userMounts;
};

// Runs the conversion window on the recording; the output is named after the movie and the
// time the conversion starts.
class ConvertWindowLauncher final : public EncoderLauncher {
public:
    explicit ConvertWindowLauncher(std::shared_ptr<DesktopDialogs> dialogs)
        : m_dialogs(std::move(dialogs)) {}
    void Convert(const ConversionRequest& request) override;

private:
    std::shared_ptr<DesktopDialogs> m_dialogs;
};

RecordingServices DesktopRecordingServices(const std::shared_ptr<DesktopDialogs>& dialogs);
// Every service shows its boxes and opens its folders and pages through `dialogs`.
MainWindowServices DesktopMainWindowServices(
    std::shared_ptr<DesktopDialogs> dialogs = std::make_shared<QtDesktopDialogs>());

} // namespace kinovex
