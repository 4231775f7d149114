#pragma once
// The sound card's recording inputs and the one that is selected.
//
// The main window checks at start-up that the selected input records what is being played
// (the "mix" input). On the sound server the inputs are its sources in the server's order and
// the selected one is the source a recording takes (ChooseRecordingSource: the monitor of the
// default sink whenever the server has a monitor); a monitor source (the sound of an output)
// is the mix input and is named so that its name ends in "Mix".

#include <string>
#include <vector>

namespace kinovex {

class CAudioMixer {
public:
    // Reads the inputs once; with no sound server there are none.
    CAudioMixer();

    // Fills `names` with the inputs' names in the server's order. False when there is no
    // server to ask.
    bool GetInputSourceName(std::vector<std::string>& names) const;
    // The index of the selected input in that list; -1 when none is selected or known.
    int GetCurrentInputSource() const;

private:
    bool m_bAvailable = false;
    std::vector<std::string> m_arrNames;
    int m_nCurrent = -1;
};

// The name the mixer reports for a source: monitors end in "Mix".
std::string MixerInputName(const std::string& description, bool isMonitor);

} // namespace kinovex
