#pragma once
// The services the desktop program gives its main window: the sound server's capture, Qt's
// message boxes and event pump, the conversion window as the encoder step, the sound server's
// recording inputs and the volume control.

#include "record/RecordingRun.h"

#include <functional>
#include <string>
#include <vector>

namespace kinovex {

// The sound server's recording inputs and the selected one, for the start-up check.
using RecordingInputQuery = std::function<void(std::vector<std::string>& names, int& current)>;
// Starts the recording-volume control.
using VolumeControlStarter = std::function<void()>;

struct MainWindowServices {
    RecordingServices recording;
    RecordingInputQuery recordingInputs;
    VolumeControlStarter volumeControl;
};

// Runs the conversion window on the recording; the output is named after the movie and the
// time the conversion starts.
class ConvertWindowLauncher final : public EncoderLauncher {
public:
    void Convert(const ConversionRequest& request) override;
};

RecordingServices DesktopRecordingServices();
MainWindowServices DesktopMainWindowServices();

} // namespace kinovex
