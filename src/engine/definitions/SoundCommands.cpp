#include "engine/definitions/SoundCommands.h"

namespace kinovex::flash {

SoundTagResult ParseSoundCommand(std::uint16_t code, std::span<const std::uint8_t> body,
                                 SoundCommand& out) {
    SoundCommand cmd;
    bool ok = false;
    switch (code) {
    case SoundTagStartSound:
        cmd.type = SoundCommand::Type::Start;
        ok = ParseStartSound(body, cmd.start);
        break;
    case SoundTagStartSound2:
        cmd.type = SoundCommand::Type::Start;
        ok = ParseStartSound2(body, cmd.start);
        break;
    case SoundTagStreamHead:
    case SoundTagStreamHead2:
        cmd.type = SoundCommand::Type::StreamHead;
        ok = ParseSoundStreamHead(body, cmd.head);
        break;
    case SoundTagStreamBlock:
        cmd.type = SoundCommand::Type::StreamBlock;
        cmd.block.assign(body.begin(), body.end());
        ok = true;
        break;
    default:
        return SoundTagResult::NotSound;
    }
    if (!ok) {
        return SoundTagResult::Malformed;
    }
    out = std::move(cmd);
    return SoundTagResult::Ok;
}

void RunSoundCommand(SoundMixer& mixer, SoundMixer::StreamKey stream, const SoundCommand& cmd) {
    switch (cmd.type) {
    case SoundCommand::Type::Start:
        if (cmd.start.soundId != 0) {
            mixer.startSound(cmd.start.soundId, cmd.start.info);
        }
        break;
    case SoundCommand::Type::StreamHead:
        mixer.streamHead(stream, cmd.head);
        break;
    case SoundCommand::Type::StreamBlock:
        mixer.streamBlock(stream, cmd.block);
        break;
    }
}

} // namespace kinovex::flash
