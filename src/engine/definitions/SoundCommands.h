#pragma once
// The sound tags of a timeline, kept with its frames and run against the mixer when the frame
// plays (display/Mixer.h): StartSound/StartSound2, SoundStreamHead/SoundStreamHead2 and
// SoundStreamBlock.

#include "engine/definitions/SoundTags.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kinovex::flash {

enum SoundTagCode : std::uint16_t {
    SoundTagDefineSound = 14,
    SoundTagStartSound = 15,
    SoundTagStreamHead = 18,
    SoundTagStreamBlock = 19,
    SoundTagStreamHead2 = 45,
    SoundTagStartSound2 = 89,
};

struct SoundCommand {
    enum class Type : std::uint8_t { Start, StreamHead, StreamBlock };
    Type type = Type::Start;
    StartSoundCommand start;         // Start
    SoundStreamHead head;            // StreamHead
    std::vector<std::uint8_t> block; // StreamBlock: the tag's body
};

enum class SoundTagResult : std::uint8_t {
    NotSound,  // not a timeline sound tag; `out` is untouched
    Ok,        // `out` holds the command
    Malformed, // a sound tag that cannot be read: report it and skip it
};

// Reads a tag found in a timeline (DefineSound is a definition, not a timeline command).
SoundTagResult ParseSoundCommand(std::uint16_t code, std::span<const std::uint8_t> body,
                                 SoundCommand& out);

} // namespace kinovex::flash
