#pragma once
// An MP3 file, as scripts load one from beside the movie, made a sound definition like a
// DefineSound's: its MPEG audio layer III frames, their rate and channels, and how many samples
// they hold. Tags (ID3v2 before, ID3v1 after) and bytes between frames are left out.

#include "engine/definitions/SoundTags.h"

#include <cstdint>
#include <span>
#include <string>

namespace kinovex::flash {

// False, with a reason, for bytes that hold no layer III frame.
bool ReadMp3File(std::span<const std::uint8_t> bytes, SoundDefinition& out, std::string& error);

} // namespace kinovex::flash
