#pragma once
// Capture devices of the PulseAudio sound server (PipeWire's pulse server works as well).

#include "platform/CaptureSource.h"

#include <string>
#include <vector>

namespace kinovex {

struct PulseSourceInfo {
    std::string name;        // the server's source name, used as the device id
    std::string description; // what the user sees in the volume control
    bool isMonitor = false;  // a monitor of an output: what is being played
};

// Lists the server's sources in the server's order and names its default source. False, with
// nothing filled in, when no server answers (none is started for us).
bool QueryPulseSources(std::vector<PulseSourceInfo>* sources, std::string* defaultSource);

// The sources as capture devices. The first entry has no id and stands for the primary driver
// (whatever the server records by default), so a caller that takes the first entry always gets
// an input. The default source follows (it is the input the user selected, so the first real
// device records what the user chose), then every other source in the server's order. With no
// server the list is empty.
class CPulseCaptureSystem : public CaptureSystem {
public:
    bool Enumerate(const std::function<bool(const CaptureDeviceEntry&)>& callback) override;
    std::unique_ptr<CaptureSource> CreateSource(const std::string& id) override;
};

} // namespace kinovex
