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
    std::string monitorOf;   // the output's sink name, for a monitor
};

// Lists the server's sources in the server's order and names its default source and, when
// `defaultSink` is given, its default sink (where our playback goes). False, with nothing
// filled in, when no server answers (none is started for us).
bool QueryPulseSources(std::vector<PulseSourceInfo>* sources, std::string* defaultSource,
                       std::string* defaultSink = nullptr);

// The source a recording takes its sound from: the monitor of the default sink, which hears
// what the movie plays; without one the default source when it is a monitor, else the first
// monitor; with no monitor at all the default source (or the first source, with no default).
// The index into `sources`, or -1 when the list is empty.
int ChooseRecordingSource(const std::vector<PulseSourceInfo>& sources,
                          const std::string& defaultSource, const std::string& defaultSink);

// The sources as capture devices. The first entry has no id and stands for the primary driver
// (whatever the server records by default), so a caller that takes the first entry always gets
// an input. The source ChooseRecordingSource picks follows, so the first real device records
// what is being played even when the default source is a microphone, then every other source
// in the server's order. With no server the list is empty.
class CPulseCaptureSystem : public CaptureSystem {
public:
    bool Enumerate(const std::function<bool(const CaptureDeviceEntry&)>& callback) override;
    std::unique_ptr<CaptureSource> CreateSource(const std::string& id) override;
};

} // namespace kinovex
