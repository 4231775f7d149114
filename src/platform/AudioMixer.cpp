#include "platform/AudioMixer.h"

#include "platform/PulseCapture.h"

namespace kinovex {

std::string MixerInputName(const std::string& description, bool isMonitor) {
    if (!isMonitor)
        return description;
    // The check looks at the last two letters only; keep the description in front so the
    // user can tell several outputs apart.
    return description.empty() ? std::string("Stereo Mix") : description + " - Stereo Mix";
}

CAudioMixer::CAudioMixer() {
    std::vector<PulseSourceInfo> sources;
    std::string defaultSource;
    std::string defaultSink;
    if (!QueryPulseSources(&sources, &defaultSource, &defaultSink))
        return;
    m_bAvailable = true;
    // The selected input is the one a recording takes: a monitor whenever there is one.
    m_nCurrent = ChooseRecordingSource(sources, defaultSource, defaultSink);
    for (const auto& source : sources)
        m_arrNames.push_back(MixerInputName(source.description, source.isMonitor));
}

bool CAudioMixer::GetInputSourceName(std::vector<std::string>& names) const {
    names = m_arrNames;
    return m_bAvailable;
}

int CAudioMixer::GetCurrentInputSource() const {
    return m_nCurrent;
}

} // namespace kinovex
