#pragma once
// Where a recording's temporary AVI and WAV files go: the program folder's Temp when it can be
// written, otherwise a private folder in the user's cache. Chosen once at start.

#include <string>
#include <vector>

namespace kinovex {

enum class TempFolderError {
    None,
    NotWritable, // neither the program folder's Temp nor the cache's could be written
};

struct TempFolderChoice {
    std::string folder; // the chosen folder, made and tried; empty on an error
    TempFolderError error = TempFolderError::None;
    std::vector<std::string> tried; // every folder tried, in order
};

// `programFolder` + "/Temp" when that folder exists or can be made and a file can be created
// and removed in it; otherwise the cache's kinovex/Temp ($XDG_CACHE_HOME, or $HOME/.cache when
// that is unset, empty or relative), whose missing folders are made with mode 0700.
TempFolderChoice ChooseTempFolder(const std::string& programFolder);

// The recording's two temporary files are this + ".avi" and + ".wav".
std::string TempBaseName(const std::string& tempFolder, const std::string& movieName);

} // namespace kinovex
